#include "mapi/outbox.h"

#include "mapi/messages.h"
#include "mapi/session.h"
#include "shared/thrown_message.h"

namespace {

// Each inspection's scope and logon live on its own stack, so that a thrown message leaves
// them torn down (session first, then COM and MAPI) before it reaches the caller.
MAPI::CFolder& AccountOutbox(MAPI::CSession& session)
{
    MAPI::CFolder* outbox = session.GetPdxStore().GetOutbox();
    if (outbox == nullptr) {
        throw ThrownMessage(MAPI::kNoOutbox);
    }
    return *outbox;
}

}  // namespace

bool OutboxHasMail()
{
    const MAPI::CInitializer scope;
    MAPI::CSession session;
    return AccountOutbox(session).GetMessageCount() != 0;
}

bool IsOutboxEmpty()
{
    const MAPI::CInitializer scope;
    MAPI::CSession session;
    return AccountOutbox(session).GetMessages().empty();
}
