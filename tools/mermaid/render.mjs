// Renders Mermaid diagrams to SVG with Mermaid's own renderer (mermaid-cli in one headless
// Chromium), and fails when one does not parse.
//   node render.mjs OUT_FOLDER DIAGRAM.mmd...
// Each DIAGRAM.mmd becomes OUT_FOLDER/DIAGRAM.svg; its width is printed beside its name. Every
// diagram is tried, and each one that fails is named with Mermaid's message.
import { readFile, writeFile } from "node:fs/promises";
import path from "node:path";
import process from "node:process";

import { renderMermaid } from "@mermaid-js/mermaid-cli";
import puppeteer from "puppeteer";

const [outFolder, ...diagrams] = process.argv.slice(2);
if (!outFolder || diagrams.length === 0) {
  console.error("usage: node render.mjs OUT_FOLDER DIAGRAM.mmd...");
  process.exit(64);
}

// As root Chromium runs only without its sandbox. The network it would reach for updates,
// sync and field trials is closed here, and asking it only slows each start.
const browser = await puppeteer.launch({
  executablePath: process.env.QUILLET_CHROMIUM || "/usr/bin/chromium",
  headless: true,
  args: [
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
  ],
});

// The width Mermaid gives the drawing, as a reader's page sees it before scaling it down.
function widthOf(svg) {
  const viewBox = /viewBox="[-\d.]+ [-\d.]+ ([\d.]+) [\d.]+"/.exec(svg);
  return viewBox ? Math.round(Number(viewBox[1])) : 0;
}

const failed = [];
try {
  for (const diagram of diagrams) {
    const name = path.basename(diagram, ".mmd");
    try {
      const definition = await readFile(diagram, "utf8");
      const { data } = await renderMermaid(browser, definition, "svg");
      const svg = Buffer.from(data).toString("utf8");
      await writeFile(path.join(outFolder, `${name}.svg`), svg);
      console.log(`${name}: ${widthOf(svg)} px wide`);
    } catch (error) {
      const message = String(error?.message ?? error).split("\n").slice(0, 4).join("\n    ");
      console.error(`${name}: Mermaid can't draw it (${diagram}):\n    ${message}`);
      failed.push(name);
    }
  }
} finally {
  await browser.close();
}
if (failed.length > 0) {
  console.error(`${failed.length} of ${diagrams.length} diagrams did not render: ${failed.join(", ")}`);
  process.exit(1);
}
console.log(`all ${diagrams.length} diagrams render`);
