// Length-prefixed records on the pipes between the command and its workers.
#include "records.h"

#include <cstdlib>
#include <cstring>

// Reads exactly n bytes; 0 when the writer went away or on error.
static int read_exactly(Channel c, void *data, size_t n)
{
    char *at = (char *)data;
    while (n > 0) {
        const long r = chan_read(c, at, n);
        if (r <= 0) return 0;
        at += r;
        n -= (size_t)r;
    }
    return 1;
}

int send_record(Channel c, const void *data, uint32_t size)
{
    return chan_write(c, &size, sizeof size) && chan_write(c, data, size);
}

int recv_record(Channel c, char **data, uint32_t *size)
{
    *data = nullptr;
    uint32_t n;
    if (!read_exactly(c, &n, sizeof n) || n > MAX_RECORD_SIZE) return 0;
    char *buf = (char *)std::malloc((size_t)n + 1);
    if (!buf) return 0;
    if (!read_exactly(c, buf, n)) {
        std::free(buf);
        return 0;
    }
    buf[n] = '\0';
    *data = buf;
    *size = n;
    return 1;
}
