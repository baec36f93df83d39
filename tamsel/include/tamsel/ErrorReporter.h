#pragma once

#include "tamsel/Ports.h"

#include <QString>

namespace tamsel {

/// Message numbers of the data layer.
namespace Msg {
constexpr int AddError = 4;
constexpr int ConfirmDelete = 9;
constexpr int CreateError = 10;
constexpr int DeleteError = 11;
constexpr int DuplicateKey = 13;
constexpr int NotInFile = 14;
constexpr int RangeError = 16;
constexpr int TransactionCancelled = 21;
constexpr int OpenError = 23;
constexpr int UpdateError = 25;
constexpr int KeyNotBuilt = 26;
constexpr int BadKey = 27;
constexpr int RelatedDelete = 30;
constexpr int RelatedUpdate = 31;
constexpr int AutoIncError = 32;
} // namespace Msg

/// The substitutions of a data-layer message.
struct ErrorArgs {
    QString file;      ///< %File
    QString field;     ///< %Field
    QString message;   ///< %Message
    QString errorText; ///< %ErrorText
};

/// Formats the data layer's messages by number and shows them through the user-interface port.
class ErrorReporter {
public:
    explicit ErrorReporter(UserInterfacePort& ui) : ui_(&ui) {}

    void setPort(UserInterfacePort& ui) { ui_ = &ui; }
    UserInterfacePort& port() const { return *ui_; }

    /// Shows message `no`; messages that ask (9, 32) return Yes or No, the rest Ok.
    Button report(int no, const ErrorArgs& args = {});
    /// How many failures (every message but the delete question) were shown so far; a
    /// procedure that showed one has not done all its work and must not report success.
    int failuresShown() const { return failures_; }

    static QString title(int no);
    /// The message text with its substitutions made.
    static QString text(int no, const ErrorArgs& args = {});

private:
    UserInterfacePort* ui_;
    int failures_ = 0;
};

/// The texts of file and run-time errors by number, as the user sees them (%ErrorText).
QString fileErrorText(int no);

/// File error numbers used by the store.
namespace FileError {
constexpr int NotFound = 2;
constexpr int PathNotFound = 3;
constexpr int TooManyFiles = 4;
constexpr int AccessDenied = 5;
constexpr int OutOfMemory = 8;
constexpr int FileLocked = 32;
constexpr int RecordNotFound = 35;
constexpr int DataFileDamaged = 36;
constexpr int NotOpen = 37;
constexpr int KeyFileDamaged = 38;
constexpr int DuplicateKey = 40;
constexpr int BadFileName = 45;
constexpr int RebuildKey = 46;
constexpr int BadFileStructure = 47;
constexpr int TransactionActive = 56;
constexpr int RollbackFailed = 65;
constexpr int ChangedByOther = 89;
constexpr int DriverError = 90;
} // namespace FileError

} // namespace tamsel
