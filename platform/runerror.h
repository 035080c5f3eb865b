#pragma once

#include <QString>

// A failed platform operation, carrying the error number the screens test
// (53 file not found, 75 path/file access, 481 not a picture, ...).
// Number 0 means success. File and picture helpers return one of these
// instead of throwing, so no failure can escape an event handler.
struct RunError {
    enum Number : int {
        None = 0,
        FileNotFound = 53,
        FileAlreadyExists = 58,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
        DeviceIO = 57,
        InvalidPicture = 481,
    };

    int number = None;
    QString description;

    bool failed() const { return number != None; }
    explicit operator bool() const { return failed(); }

    static RunError ok() { return {}; }
    static RunError make(int number);
    static RunError make(int number, const QString& detail);
};

// The error a handler noted while "failing operations do not stop the procedure":
// the first failure since the last clear() stays pending.
class PendingError {
public:
    void note(const RunError& e)
    {
        if (e.failed() && !m_error.failed())
            m_error = e;
    }
    int number() const { return m_error.number; }
    bool pending() const { return m_error.failed(); }
    void clear() { m_error = {}; }

private:
    RunError m_error;
};
