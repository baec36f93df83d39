#pragma once

// Sending a publication folder to the school's site: FTP, FTP with explicit TLS, SFTP (when
// the libcurl build has it) or HTTP PUT (WebDAV-style hostings, Nextcloud). Only files that
// changed since the last successful upload to the same address are sent; index.html goes
// last. Core only: progress and cancelling go through the port it is given.

#include <QString>
#include <QStringList>

namespace tamsel {
class Dictionary;
class ProgressPort;
} // namespace tamsel

namespace hestor {

struct UploadOptions {
    QString folder; ///< the publication folder; relative to the working folder
    QString url;    ///< where the files go: ftp://, ftps://, sftp://, https://, http://, file://
    QString user;
    QString password; ///< kept out of every text the upload produces
    /// A transfer slower than one byte a second for this long is given up: a dead server must
    /// not hold the program.
    int stallSeconds = 30;
};

struct UploadResult {
    bool ok = false;
    bool cancelled = false;
    QString error;          ///< why it failed, naming the file; empty when ok
    QStringList sent;       ///< the files sent, in the order sent
    int unchanged = 0;      ///< files the site already has as they are
    QStringList leftOnSite; ///< sent earlier, no longer in the folder (not deleted)
    /// "Отправлено файлов: N, без изменений: M, адрес: …" and, when there are any, the files
    /// left on the site.
    QStringList lines;
};

/// "Отправка на сайт": the caption of the progress and messages of the upload.
QString UploadCaption();

/// The name of the manifest kept in the publication folder.
QString UploadManifestName();

/// Why `url` cannot be used by this program, or empty when it can (a scheme this libcurl
/// build does not support, SFTP included, is named in the text).
QString UploadUrlProblem(const QString& url);

/// `url` as it may be shown: without login and password.
QString UploadDisplayUrl(const QString& url);

/// Sends the published files of `options.folder` (index.html, the pages, ics/*.ics,
/// schedule.csv, schedule.xlsx — nothing else the folder may hold) that are new or changed
/// since the last successful upload to that address, making remote folders as needed,
/// index.html last. The manifest of the folder is rewritten only when every file was sent;
/// a failure or cancel leaves it as it was and is never reported as success.
UploadResult UploadPublication(tamsel::Dictionary& dict, const UploadOptions& options,
                               tamsel::ProgressPort& progress);

} // namespace hestor
