#include "platform/posix/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

namespace win::posix {

bool ReserveStandardStreams()
{
    bool outputClosed = false;
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (fcntl(stream, F_GETFD) != -1)
            continue;
        outputClosed = outputClosed || stream == STDOUT_FILENO;
        // open() takes the lowest free number: this one.
        (void)open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
    return outputClosed;
}

} // namespace win::posix
