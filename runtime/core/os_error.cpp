#include "runtime/core/os_error.h"

#include <cerrno>

namespace cinevo {

int SystemErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;      // File Not Found
    case ENOTDIR: return 3;     // Path Not Found
    case EMFILE: case ENFILE: return 4;  // Too Many Open Files
    case EACCES: case EPERM: return 5;   // Access Denied
    case EBADF: return 6;       // Invalid Handle
    case ENOMEM: return 8;      // Insufficient Memory
    case EINVAL: return 87;     // Invalid Parameter
    case EXDEV: return 17;      // Not Same Device
    case EROFS: return 19;      // Write Protect
    case ENODEV: case ENXIO: return 21;  // Device Not Ready
    case ESPIPE: return 25;     // Seek Location Inaccessible
    case EIO: return 29;        // Write Fault
    case EAGAIN: return 33;     // Lock Violation
    case ENOSPC: return 39;     // Handle Disk Full
    case ENOSYS: case ENOTSUP: return 50;  // Not Supported
    case EEXIST: return 80;     // File Already Exists
    case EISDIR: return 5;      // Access Denied, as for a directory opened as a file
    case ENAMETOOLONG: case ELOOP: return 3;  // Path Not Found
    case EBUSY: case ETXTBSY: return 32;     // Sharing Violation
    case ENOTEMPTY: return 5;                // Access Denied, as for removing a full directory
    case EFBIG: case EDQUOT: return 39;      // Handle Disk Full
    case ENOLCK: return 36;                  // Sharing Buffer Exceeded
    case ENETDOWN: case ENETUNREACH: case EHOSTUNREACH: return 53;  // Invalid Network Path
    case ECONNRESET: case ECONNABORTED: return 64;                   // Network Name Deleted
    case ETIMEDOUT: return 54;               // Network Busy
    default: return 31;         // General Failure
  }
}

}  // namespace cinevo
