// The fixed exchange of the interoperation tests: for every call the tests
// make, the answers the service gives. The service follows it on a thread of
// the test process, or as `core-service --answer interop` in a process of its
// own, so that the client's side runs the same checks either way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ScriptedHandler.h"

namespace coreservice {

// Text of the exchange in UTF-8: ASCII, Latin-1, the euro sign, an emoji
// (a surrogate pair in UTF-16) and Cyrillic.
extern const char kInteroperationText[];

// The answers to `call` (as ScriptedHandler notes it, for example
// `GetOption(0)`) made for the `occurrence`-th time on a connection, counting
// from 1; none for a call that is not part of the exchange.
std::optional<Answers> InteroperationAnswers(const std::string& call, std::size_t occurrence);

// Makes `handler` answer as the exchange says. A call that is not part of it
// raises OperationFailed(-1, "unexpected call: <call>"), so arguments that do
// not arrive as sent fail the client's call.
void FollowInteroperationScript(ScriptedHandler& handler);

// What every operation raises from `core-service --answer interop-fail`.
idl::OperationFailed InteroperationFailure();

}  // namespace coreservice
