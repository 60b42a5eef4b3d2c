// Records on the pipes between the command and its workers: a 32-bit length
// in the machine's byte order, then that many bytes (paths may hold any byte
// but NUL, so nothing can serve as a separator).
//
//   to a worker:    the operation (its record as it is in memory: both ends
//                   are this one program), the input path, the output path
//   from a worker:  one byte, 1 (written) or 0 (failed), then the library's message
#pragma once

#include <cstdint>

#include "platform.h"

// Longest record accepted: a bound on what a confused peer can make us allocate.
constexpr uint32_t MAX_RECORD_SIZE = 1u << 20;

// Writes one record; 1 on success, 0 when the other end is gone.
int send_record(Channel c, const void *data, uint32_t size);

// Reads one record into a malloc'd, NUL-terminated buffer (*data, freed by
// the caller) of *size bytes. 0 when the other end is gone or sent nonsense;
// *data is then NULL.
int recv_record(Channel c, char **data, uint32_t *size);
