// A line that arrives on the control socket: any bytes give a command or a ControlError, and
// a command the client asks for reads back as the same command.
#include "control/control_protocol.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>

using namespace tovik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const Expected<QString> command = controlProtocol::parseRequest(line);
    if (!command) {
        const Failure& failure = command.failure();
        FUZZ_CHECK(failure.is(ControlError::tooLong) || failure.is(ControlError::notJson) ||
                   failure.is(ControlError::noCommand));
        FUZZ_CHECK(line.size() <= controlProtocol::maxLineLength ||
                   failure.is(ControlError::tooLong));
    } else if (const QByteArray request = controlProtocol::requestLine(*command);
               command->isValidUtf16() && request.size() <= controlProtocol::maxLineLength) {
        // A command a command line can hold, in a line the server takes.
        const Expected<QString> again = controlProtocol::parseRequest(request);
        FUZZ_CHECK(again.ok() && *again == *command);
    }
    // The client reads the server's answers with the same care.
    const Expected<QJsonObject> answer = controlProtocol::parseAnswer(line);
    FUZZ_CHECK(answer.ok() || answer.failure().isPlatform() ||
               answer.failure().is(ControlError::badAnswer));
    return 0;
}
