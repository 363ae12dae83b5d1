#include "FileDelete.h"

#include "cError.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

void DeleteFileSafe(const std::string& path) {
    // unlink removes read-only files as well (only the folder's rights count)
    // and never removes a folder.
    if (::unlink(path.c_str()) == 0) return;
    if (errno == EACCES || errno == EPERM) {
        try {
            ForceDeleteFile(path);
        } catch (const cError&) {
            // Callers rely on this never reporting.
        }
    }
}

void ForceDeleteFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return;
    const int error = errno;
    ErrorNumber number = ErrorNumber::PathFileAccess;
    switch (error) {
    case ENOENT:
    case EISDIR:  // a folder is no file to delete
        number = ErrorNumber::FileNotFound;
        break;
    case ENOTDIR:
        number = ErrorNumber::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
        number = ErrorNumber::PermissionDenied;
        break;
    default:
        break;
    }
    throw cError(number, "Cannot delete " + path + ": " + std::generic_category().message(error));
}
