// The message store's answer, as the composer's tests script it.
#include "composer_test.h"
#include "mapi/outbox.h"
#include "shared/thrown_message.h"

bool OutboxHasMail()
{
    FakeOutbox& outbox = Outbox();
    ++outbox.asked;
    sim::Phone::Get().Record("program", "OutboxHasMail");
    if (outbox.answer == FakeOutbox::Answer::Fails) {
        throw ThrownMessage(WTEXT("PDXのアカウントが見つかりませんでした。"));
    }
    return outbox.answer == FakeOutbox::Answer::Mail;
}
