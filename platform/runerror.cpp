#include "runerror.h"

namespace {
QString standardText(int number)
{
    switch (number) {
    case RunError::FileNotFound:
        return QStringLiteral("File not found");
    case RunError::FileAlreadyExists:
        return QStringLiteral("File already exists");
    case RunError::PermissionDenied:
        return QStringLiteral("Permission denied");
    case RunError::PathFileAccess:
        return QStringLiteral("Path/File access error");
    case RunError::PathNotFound:
        return QStringLiteral("Path not found");
    case RunError::DeviceIO:
        return QStringLiteral("Device I/O error");
    case RunError::InvalidPicture:
        return QStringLiteral("Invalid picture");
    default:
        return QStringLiteral("Error %1").arg(number);
    }
}
} // namespace

RunError RunError::make(int number)
{
    return RunError{number, standardText(number)};
}

RunError RunError::make(int number, const QString& detail)
{
    return RunError{number, detail.isEmpty() ? standardText(number) : standardText(number) + QStringLiteral(": ") + detail};
}
