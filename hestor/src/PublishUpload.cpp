#include "hestor/PublishUpload.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"
#include "tamsel/Ports.h"
#include "trusko/PlacedTimetable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <curl/curl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace hestor {

using namespace tamsel;

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

/// Size and SHA-256 of a file as it was sent.
struct Stamp {
    qint64 size = -1;
    QByteArray sha256; // hex
    bool operator==(const Stamp&) const = default;
};
using Manifest = std::map<QString, Stamp>;

/// Only what publishing writes goes to the site: a folder chosen carelessly (the user's
/// documents) must not put private files on a public server.
bool isPublished(const QString& relative) {
    static const QRegularExpression names(QStringLiteral(
        "^((index|changes|substitutions|(group|teacher|room|day)-\\d+)\\.html|schedule\\.(csv|xlsx)|ics/[A-Za-z0-9_-]+\\.ics)$"));
    return names.match(relative).hasMatch();
}

QString schemeOf(const QUrl& url) {
    return url.scheme().toLower();
}

bool libcurlHas(const char* protocol) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    for (const char* const* p = info->protocols; p && *p; ++p)
        if (std::strcmp(*p, protocol) == 0) return true;
    return false;
}

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/// The key of an address in the manifest and the address as shown: no login, no password,
/// the folder with its closing slash.
QString baseKey(const QString& url) {
    QUrl u(url.trimmed());
    if (!u.path().endsWith(QLatin1Char('/'))) u.setPath(u.path() + QLatin1Char('/'));
    return u.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded);
}

Manifest readManifest(const QString& path, const QString& key) {
    Manifest m;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return m;
    const QJsonObject files = QJsonDocument::fromJson(f.readAll())
                                  .object()[QStringLiteral("uploads")]
                                  .toObject()[key]
                                  .toObject()[QStringLiteral("files")]
                                  .toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        m[it.key()] = {qint64(o[QStringLiteral("size")].toDouble(-1)),
                       o[QStringLiteral("sha256")].toString().toLatin1()};
    }
    return m;
}

/// Rewrites the entry of `key`, keeping the other addresses' entries.
bool writeManifest(const QString& path, const QString& key, const Manifest& m, QString* error) {
    QJsonObject root;
    {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) root = QJsonDocument::fromJson(f.readAll()).object();
    }
    QJsonObject files;
    for (const auto& [name, stamp] : m)
        files[name] = QJsonObject{{QStringLiteral("size"), double(stamp.size)},
                                  {QStringLiteral("sha256"), QString::fromLatin1(stamp.sha256)}};
    QJsonObject uploads = root[QStringLiteral("uploads")].toObject();
    uploads[key] = QJsonObject{{QStringLiteral("files"), files}};
    root[QStringLiteral("uploads")] = uploads;
    QSaveFile out(path);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

struct Source {
    QByteArray data;
    qsizetype pos = 0;
};

size_t readSource(char* buffer, size_t size, size_t count, void* user) {
    auto* s = static_cast<Source*>(user);
    const size_t n = std::min(size * count, size_t(s->data.size() - s->pos));
    std::memcpy(buffer, s->data.constData() + s->pos, n);
    s->pos += qsizetype(n);
    return n;
}

int seekSource(void* user, curl_off_t offset, int origin) {
    auto* s = static_cast<Source*>(user);
    if (origin != SEEK_SET || offset < 0 || offset > s->data.size()) return CURL_SEEKFUNC_FAIL;
    s->pos = qsizetype(offset);
    return CURL_SEEKFUNC_OK;
}

/// SFTP servers are trusted on first sight and remembered in the user's known_hosts, as ssh
/// does; a server whose key changed since is refused (someone may stand in between).
int checkHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void*) {
    switch (match) {
    case CURLKHMATCH_OK: return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISSING: return CURLKHSTAT_FINE_ADD_TO_FILE;
    default: return CURLKHSTAT_REJECT;
    }
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

/// One connection for the whole upload (an FTP server is not logged into once per file), and
/// transfers run through the multi interface so the progress port is asked about cancelling
/// ten times a second, whatever the server does.
class Session {
public:
    Session(const UploadOptions& o, const QUrl& base, ProgressPort& progress)
        : o_(o), progress_(progress), easy_(curl_easy_init()), multi_(curl_multi_init()),
          headers_(curl_slist_append(nullptr, "Expect:")) {
        scheme_ = schemeOf(base);
        QUrl target = base;
        // ftps:// is taken as explicit TLS on the usual port (AUTH TLS), what hostings offer;
        // libcurl's own ftps:// would be the implicit TLS of port 990.
        if (scheme_ == QStringLiteral("ftps")) target.setScheme(QStringLiteral("ftp"));
        base_ = target.toString(QUrl::FullyEncoded).toUtf8();
    }

    bool valid() const { return easy_ && multi_; }

    /// Sends one file; false with `error` (curl's text or the HTTP status, the password never).
    bool put(const QString& name, QByteArray bytes, qint64 doneBefore, qint64 total,
             QString* error, bool* cancelled) {
        if (scheme_.startsWith(QStringLiteral("http"))) makeHttpFolders(name);
        if (scheme_ == QStringLiteral("file")) {
            const QString local = QUrl(QString::fromUtf8(base_ + name.toUtf8())).toLocalFile();
            QDir().mkpath(QFileInfo(local).absolutePath());
        }
        Source source{std::move(bytes)};
        prepare(name);
        curl_easy_setopt(easy_.get(), CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy_.get(), CURLOPT_READFUNCTION, readSource);
        curl_easy_setopt(easy_.get(), CURLOPT_READDATA, &source);
        curl_easy_setopt(easy_.get(), CURLOPT_SEEKFUNCTION, seekSource);
        curl_easy_setopt(easy_.get(), CURLOPT_SEEKDATA, &source);
        curl_easy_setopt(easy_.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(source.data.size()));
        const CURLcode code = perform(doneBefore, total, cancelled);
        if (*cancelled) return false;
        long status = 0;
        curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK) {
            QString text = QString::fromUtf8(errorText_);
            if (text.isEmpty()) text = QString::fromUtf8(curl_easy_strerror(code));
            *error = hidePassword(text);
            return false;
        }
        if (scheme_.startsWith(QStringLiteral("http")) && (status < 200 || status > 299)) {
            *error = QStringLiteral("сервер ответил HTTP %1").arg(status);
            return false;
        }
        return true;
    }

private:
    void prepare(const QString& name) {
        CURL* e = easy_.get();
        curl_easy_reset(e);
        errorText_[0] = 0;
        url_ = base_ + QUrl::toPercentEncoding(name, "/");
        curl_easy_setopt(e, CURLOPT_URL, url_.constData());
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 15L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(std::max(1, o_.stallSeconds)));
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, discard);
        if (!o_.user.isEmpty()) {
            user_ = o_.user.toUtf8();
            password_ = o_.password.toUtf8();
            curl_easy_setopt(e, CURLOPT_USERNAME, user_.constData());
            curl_easy_setopt(e, CURLOPT_PASSWORD, password_.constData());
        }
        if (scheme_ == QStringLiteral("ftps")) curl_easy_setopt(e, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        if (scheme_.contains(QStringLiteral("ftp")))
            curl_easy_setopt(e, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
        if (scheme_ == QStringLiteral("sftp") && QFileInfo(QFile::decodeName(knownHosts_)).dir().exists()) {
            curl_easy_setopt(e, CURLOPT_SSH_KNOWNHOSTS, knownHosts_.constData());
            curl_easy_setopt(e, CURLOPT_SSH_KEYFUNCTION, checkHostKey);
        }
        if (scheme_.startsWith(QStringLiteral("http"))) {
            curl_easy_setopt(e, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
            // A page is small; waiting for "100 Continue" from servers that never send it
            // costs a second a file.
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers_.get());
        }
    }

    /// WebDAV needs a folder before a file goes into it; an answer such as "already there"
    /// (405) or "not WebDAV" is no failure here: the file's own PUT tells whether it worked.
    void makeHttpFolders(const QString& name) {
        const int slash = int(name.lastIndexOf(QLatin1Char('/')));
        if (slash < 0) return;
        const QString folder = name.left(slash + 1);
        if (!madeFolders_.insert(folder).second) return;
        prepare(folder);
        curl_easy_setopt(easy_.get(), CURLOPT_CUSTOMREQUEST, "MKCOL");
        bool cancelled = false;
        perform(0, 0, &cancelled);
    }

    CURLcode perform(qint64 doneBefore, qint64 total, bool* cancelled) {
        *cancelled = false;
        CURLcode result = CURLE_OK;
        curl_multi_add_handle(multi_.get(), easy_.get());
        for (bool done = false; !done;) {
            int running = 0;
            if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int left = 0;
            while (CURLMsg* m = curl_multi_info_read(multi_.get(), &left))
                if (m->msg == CURLMSG_DONE) {
                    result = m->data.result;
                    done = true;
                }
            if (done) break;
            if (total > 0) {
                curl_off_t sent = 0;
                curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &sent);
                progress_.setPercent(trusko::percentOf(doneBefore + sent, total));
            }
            if (progress_.cancelled()) {
                *cancelled = true;
                break;
            }
            curl_multi_poll(multi_.get(), nullptr, 0, 100, nullptr);
        }
        curl_multi_remove_handle(multi_.get(), easy_.get());
        return result;
    }

    QString hidePassword(QString text) const {
        if (!o_.password.isEmpty()) {
            text.replace(o_.password, QStringLiteral("***"));
            text.replace(QString::fromLatin1(QUrl::toPercentEncoding(o_.password)),
                         QStringLiteral("***"));
        }
        return text;
    }

    const UploadOptions& o_;
    ProgressPort& progress_;
    std::unique_ptr<CURL, EasyDeleter> easy_;
    std::unique_ptr<CURLM, MultiDeleter> multi_;
    std::unique_ptr<curl_slist, ListDeleter> headers_;
    QString scheme_;
    QByteArray base_, url_, user_, password_;
    const QByteArray knownHosts_ = QFile::encodeName(QDir::homePath() + QStringLiteral("/.ssh/known_hosts"));
    std::set<QString> madeFolders_;
    char errorText_[CURL_ERROR_SIZE] = {};
};

} // namespace

QString UploadCaption() {
    return QStringLiteral("Отправка на сайт");
}

QString UploadManifestName() {
    return QStringLiteral(".korvel-upload.json");
}

QString UploadDisplayUrl(const QString& url) {
    return QUrl(url.trimmed()).toString(QUrl::RemoveUserInfo);
}

QString UploadUrlProblem(const QString& url) {
    if (url.trimmed().isEmpty()) return QStringLiteral("Не указан адрес сайта.");
    const QUrl u(url.trimmed(), QUrl::StrictMode);
    const QString scheme = schemeOf(u);
    const QString shown = UploadDisplayUrl(url);
    static const QStringList known = {QStringLiteral("ftp"), QStringLiteral("ftps"),
                                      QStringLiteral("sftp"), QStringLiteral("https"),
                                      QStringLiteral("http"), QStringLiteral("file")};
    if (!u.isValid() || !known.contains(scheme) ||
        (scheme != QStringLiteral("file") && u.host().isEmpty()))
        return QStringLiteral("Адрес «%1» не подходит: нужен адрес вида ftp://, ftps://, sftp://, "
                              "https:// или http:// с именем сервера.")
            .arg(shown);
    initCurl();
    const QByteArray protocol = (scheme == QStringLiteral("ftps") ? QStringLiteral("ftp") : scheme).toLatin1();
    if (!libcurlHas(protocol.constData()))
        return QStringLiteral("Отправка по %1 невозможна: библиотека libcurl, с которой собрана "
                              "программа, не поддерживает этот протокол. Выберите другой адрес "
                              "(например, ftps:// или https://).")
            .arg(scheme.toUpper());
    if (scheme == QStringLiteral("ftps") && !(curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_SSL))
        return QStringLiteral("Отправка по FTPS невозможна: библиотека libcurl собрана без TLS.");
    return {};
}

UploadResult UploadPublication(Dictionary& dict, const UploadOptions& given,
                               ProgressPort& progress) {
    UploadResult result;
    // A login written into the address is taken as if typed apart.
    UploadOptions options = given;
    if (const QUrl u(given.url.trimmed()); options.user.isEmpty() && !u.userName().isEmpty()) {
        options.user = u.userName();
        options.password = u.password();
    }
    auto fail = [&](const QString& text) {
        result.error = QStringLiteral("Отправка на сайт не выполнена: ") + text;
        return result;
    };
    if (const QString problem = UploadUrlProblem(options.url); !problem.isEmpty())
        return fail(problem);
    if (options.folder.trimmed().isEmpty()) return fail(QStringLiteral("не указана папка публикации."));
    const QString dir = QDir::cleanPath(QDir(dict.workDir()).absoluteFilePath(options.folder.trimmed()));
    if (!QFileInfo(dir).isDir())
        return fail(QStringLiteral("папки %1 нет — сначала опубликуйте расписание.").arg(native(dir)));
    const QString manifestPath = dir + QLatin1Char('/') + UploadManifestName();
    if (const QString refused = OutputPathRefusal(dict, manifestPath); !refused.isEmpty())
        return fail(refused);

    // What the folder holds now. Links are passed over: through one, a file from elsewhere
    // would be published.
    Manifest local;
    qint64 total = 0;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const QString name = QDir(dir).relativeFilePath(path);
        if (!isPublished(name) || it.fileInfo().isSymLink()) continue;
        QFile f(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
            return fail(QStringLiteral("файл %1 не читается: %2.").arg(native(path), f.errorString()));
        local[name] = {f.size(), hash.result().toHex()};
    }
    if (local.empty())
        return fail(QStringLiteral("в папке %1 нет опубликованных файлов — сначала опубликуйте "
                                   "расписание.")
                        .arg(native(dir)));

    const QString key = baseKey(options.url);
    Manifest sent = readManifest(manifestPath, key);
    QStringList toSend;
    for (const auto& [name, stamp] : local) {
        const auto old = sent.find(name);
        if (old == sent.end() || !(old->second == stamp)) {
            toSend << name;
            total += stamp.size;
        } else {
            ++result.unchanged;
        }
    }
    for (const auto& [name, stamp] : sent)
        if (!local.count(name)) result.leftOnSite << name;
    // The index links to every page: sent last, a visitor never follows it to a page that is
    // not there yet.
    std::stable_partition(toSend.begin(), toSend.end(),
                          [](const QString& n) { return n != QStringLiteral("index.html"); });

    const QString shown = UploadDisplayUrl(options.url);
    auto finishLines = [&] {
        result.lines << QStringLiteral("Отправлено файлов: %1, без изменений: %2, адрес: %3")
                            .arg(result.sent.size())
                            .arg(result.unchanged)
                            .arg(shown);
        if (!result.leftOnSite.isEmpty())
            result.lines << QStringLiteral("на сайте остались файлы, которых больше нет: ") +
                                result.leftOnSite.join(QStringLiteral(", "));
    };
    if (toSend.isEmpty()) {
        result.ok = true;
        finishLines();
        return result;
    }

    initCurl();
    Session session(options, QUrl(key), progress);
    if (!session.valid()) return fail(QStringLiteral("библиотека libcurl не запустилась."));
    progress.start(UploadCaption());
    qint64 done = 0;
    for (const QString& name : toSend) {
        QFile f(dir + QLatin1Char('/') + name);
        if (!f.open(QIODevice::ReadOnly)) {
            progress.finish();
            return fail(QStringLiteral("файл %1 не читается: %2.").arg(native(f.fileName()), f.errorString()));
        }
        QString error;
        bool cancelled = false;
        if (!session.put(name, f.readAll(), done, total, &error, &cancelled)) {
            progress.finish();
            const QString before =
                result.sent.isEmpty()
                    ? QString()
                    : QStringLiteral(" До этого отправлено файлов: %1; при следующей отправке они "
                                     "будут отправлены снова.")
                          .arg(result.sent.size());
            if (cancelled) {
                result.cancelled = true;
                result.error = QStringLiteral("Отправка на сайт прервана.") + before;
                return result;
            }
            return fail(QStringLiteral("файл %1 не отправлен на %2: %3.").arg(name, shown, error) + before);
        }
        done += local[name].size;
        result.sent << name;
    }
    progress.finish();

    // Only now the site holds every file as listed. Files gone from the folder stay listed:
    // they are still on the site, and reappearing unchanged they need not be sent again.
    for (const auto& [name, stamp] : local) sent[name] = stamp;
    QString error;
    if (!writeManifest(manifestPath, key, sent, &error))
        return fail(QStringLiteral("файлы отправлены, но список отправленного %1 не записан: %2. "
                                   "При следующей отправке все файлы будут отправлены снова.")
                        .arg(native(manifestPath), error));
    result.ok = true;
    finishLines();
    return result;
}

} // namespace hestor
