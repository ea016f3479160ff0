// The two questions asked of the phone's mail account: each opens its own COM/MAPI scope and
// logon, and tears them down before it answers. Failures are thrown as ThrownMessage.
#pragma once

// True when the account's Outbox counts at least one message.
bool OutboxHasMail();

// True when reading the account's Outbox yields no message.
bool IsOutboxEmpty();
