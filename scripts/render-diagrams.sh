#!/usr/bin/env bash
# Draws every diagram with Mermaid's own renderer, as GitHub would, and fails on one that
# Mermaid can't parse: each scenario's (quillet-sim --diagram scenarios/X.json), the built-in
# default run's (--diagram --virtual-time --record-hooks) and the ```mermaid blocks of docs/*.md.
# Each diagram and its SVG are left in the folder, with its width printed beside its name.
#   scripts/render-diagrams.sh
# QUILLET_SIM names the quillet-sim to run (build-test's by default), DIAGRAM_FOLDER where the
# diagrams go (build-test/diagrams by default). Needs Node.js, Debian's chromium and the fonts
# that scripts/setup.sh installs; the renderer itself comes from tools/mermaid's lock file.
set -euo pipefail
cd "$(dirname "$0")/.."
sim=${QUILLET_SIM:-build-test/sim/runner/quillet-sim}
folder=${DIAGRAM_FOLDER:-build-test/diagrams}
tools=tools/mermaid

if ! command -v node >/dev/null; then
  echo "render-diagrams: node is missing; scripts/setup.sh installs it" >&2
  exit 1
fi
if [ ! -x "$sim" ]; then
  echo "render-diagrams: $sim is missing; build it first" >&2
  exit 1
fi

# The renderer as the lock file has it, installed again when the lock file changes. Puppeteer
# drives Debian's chromium and downloads no browser of its own.
if ! cmp -s "$tools/package-lock.json" "$tools/node_modules/.quillet-lock"; then
  (cd "$tools" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  cp "$tools/package-lock.json" "$tools/node_modules/.quillet-lock"
fi

rm -rf "$folder"
mkdir -p "$folder"
# The program's own exit code doesn't matter here; a run that printed nothing does.
draw() {
  local name=$1
  shift
  "$sim" --diagram "$@" >"$folder/$name.mmd" || true
  if [ ! -s "$folder/$name.mmd" ]; then
    echo "render-diagrams: quillet-sim --diagram $* printed no diagram" >&2
    exit 1
  fi
}
for scenario in scenarios/*.json; do
  draw "$(basename "$scenario" .json)" "$scenario"
done
draw default --virtual-time --record-hooks
# Each block of a document as docs-FILE-line-N, N being the line of its opening fence.
for doc in docs/*.md; do
  awk -v prefix="$folder/docs-$(basename "$doc")-line-" '
    /^```mermaid[[:space:]]*$/ { file = prefix NR ".mmd"; printf "" > file; next }
    /^```/ && file != "" { close(file); file = ""; next }
    file != "" { print > file }
  ' "$doc"
done

start=$SECONDS
status=0
node "$tools/render.mjs" "$folder" "$folder"/*.mmd || status=$?
echo "render-diagrams: $((SECONDS - start)) s"
exit "$status"
