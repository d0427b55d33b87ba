#include "platform/media/QtWebEngine.h"

#include <sys/statvfs.h>
#include <unistd.h>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <optional>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Process.h"

namespace {

// Printing and saving wait for the engine at most this long.
constexpr int kJobTimeoutMs = 60000;

// The page of the view: it asks the engine whether to follow each navigation. It never makes a window
// of its own for a new-window request (the engine turns such a request into a navigation of the view),
// so every document the view shows is this page's, under its request filter, with its history.
class TEnginePage final : public QWebEnginePage {
 public:
  using TRequested = std::function<bool(const QUrl& Url)>;
  TEnginePage(TRequested Requested, QObject* Parent)
      : QWebEnginePage(Parent), FRequested(std::move(Requested)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& Url, NavigationType, bool) override { return FRequested(Url); }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

 private:
  TRequested FRequested;
};

// Schemes whose addresses the view shows itself; the engine hands any other to the desktop.
bool IsEngineScheme(const QString& Scheme) {
  static const QStringList schemes{QStringLiteral("http"),       QStringLiteral("https"),
                                   QStringLiteral("file"),       QStringLiteral("data"),
                                   QStringLiteral("blob"),       QStringLiteral("about"),
                                   QStringLiteral("javascript"), QStringLiteral("view-source"),
                                   QStringLiteral("filesystem"), QStringLiteral("chrome-error")};
  return schemes.contains(Scheme, Qt::CaseInsensitive);
}

// The folder whose files, and those below it, the page at Page may load as its parts, as a real path
// ending in '/': only a local page may load local files, and only those of its own folder (the engine
// itself would let a local page read any file). "" for none.
QString ReadableFolder(const QUrl& Page) {
  if (!Page.isLocalFile() || !Page.host().isEmpty()) return {};
  const QString folder = QFileInfo(QFileInfo(Page.toLocalFile()).absolutePath()).canonicalFilePath();
  return folder.isEmpty() || folder.endsWith('/') ? folder : folder + '/';
}

// True when the local file File is in Folder (as ReadableFolder gives it) or below it, links followed.
bool InFolder(const QString& Folder, const QUrl& File) {
  if (Folder.isEmpty() || !File.host().isEmpty()) return false;
  const QString file = QFileInfo(File.toLocalFile()).canonicalFilePath();
  return !file.isEmpty() && file.startsWith(Folder);
}

bool MayLoadLocalFile(const QUrl& Page, const QUrl& File) {
  return InFolder(ReadableFolder(Page), File);
}

// The folder a local page may read, as MayLoadLocalFile takes it ("" for any other page).
QString FolderOf(const QUrl& Page) {
  return Page.isLocalFile() ? QFileInfo(Page.toLocalFile()).absolutePath() : QString();
}

}  // namespace

// What the documents of one view may read of the local files. A request is judged by the document
// that makes it, and the engine does not say which one that is: the frames, scripts and workers of the
// main frame's committed document; once the main frame has begun to show a new document and before the
// view has learnt of it, that new document; and the workers of the pages shown before (one busy in a
// script runs on for two seconds and more after its page has gone, making requests, and nothing tells
// when it has ended). So the rule keeps the committed document's address, changed only when the view
// reports a commit (a move within a page cannot change a local page's folder), the local address the main
// frame is on its way to, and the folder whose files every local page the view has shown may read. A
// file that the committed page and the coming one judge differently, or one that the committed page may
// read and a worker of a page shown before may not, is asked about once more: the request is sent back
// to its own address, marked with a mark no page can make (never twice: the engine does not survive it).
// A request the two pages still judge differently then is refused. One that comes back after the view
// has learnt of the commit is the committed page's: the engine ends every load of the documents and
// workers that left before it reports the commit, and a load it ended follows no address sent back. So
// no navigation, under way or done, lets a page that ran read more than before, and the next page reads
// its own folder from its first request on. The view's engine and the request filter share the rule.
class TReadRule {
 public:
  enum class TVerdict { Allow, Block, AskAgain };
  struct TJudgement {
    TVerdict Verdict;
    // Where to ask again: the file's address, marked.
    QUrl Again;
  };

  TReadRule() : FKey(32, Qt::Uninitialized) {
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(FKey.data()), FKey.size() / 4);
  }
  // The main frame now shows the document at Url.
  void Committed(const QUrl& Url) {
    const std::lock_guard lock(FLock);
    if (FolderOf(Url) != FolderOf(FCommitted)) ++FMoves;
    FCommitted = Url;
    if (Url.isLocalFile()) {
      // The files both this page and every one before may read: those of the inner of the two folders.
      const QString folder = ReadableFolder(Url);
      if (!FEveryPage || (!folder.isEmpty() && folder.startsWith(*FEveryPage)))
        FEveryPage = folder;
      else if (folder.isEmpty() || !FEveryPage->startsWith(folder))
        FEveryPage = QString();
    }
    if (!FPending.isEmpty() && FolderOf(FPending) == FolderOf(Url)) FPending.clear();
  }
  // The main frame asked for a new document at Url.
  void Requested(const QUrl& Url) {
    if (!Url.isLocalFile()) return;  // nothing but a local page may read local files
    const std::lock_guard lock(FLock);
    FPending = Url;
  }
  // The main frame's load of Url ended; whatever it committed has been reported before.
  void Ended(const QUrl& Url) {
    const std::lock_guard lock(FLock);
    if (Url == FPending) FPending.clear();
  }
  // Worker: a worker may make such a request. Kept: the engine may keep what the request loads (a style
  // sheet, with its text) and hand it to a later page, of another folder too, that asks for the same
  // address, without a request; it asks again for one it loaded through an address sent back, so such a
  // file is always sent back once.
  [[nodiscard]] TJudgement Judge(const QUrl& File, bool Worker, bool Kept) {
    const std::lock_guard lock(FLock);
    const bool now = MayLoadLocalFile(FCommitted, File);
    const bool pending = !FPending.isEmpty() && now != MayLoadLocalFile(FPending, File);
    const bool before = now && Worker && !(FEveryPage && InFolder(*FEveryPage, File));
    const bool marked = File.fragment().startsWith(kAskedAgain);
    if (!pending && !before && !(now && Kept && !marked))
      return {now ? TVerdict::Allow : TVerdict::Block, {}};
    if (!marked) {
      QUrl again = File;
      again.setFragment(Mark(File, FMoves));
      return {TVerdict::AskAgain, again};
    }
    // Asked again since the move to the committed page's folder or just before it (a request asked while
    // the navigation was under way comes back once it has been committed).
    const bool asked = File.fragment() == Mark(File, FMoves) || File.fragment() == Mark(File, FMoves - 1);
    return {asked && now && !pending ? TVerdict::Allow : TVerdict::Block, {}};
  }

 private:
  static constexpr QLatin1StringView kAskedAgain{"pelloran-asked-again-"};
  QString Mark(const QUrl& File, quint64 Moves) const {
    QMessageAuthenticationCode code(QCryptographicHash::Sha256, FKey);
    code.addData(File.adjusted(QUrl::RemoveFragment).toEncoded() + ' ' + QByteArray::number(Moves));
    return kAskedAgain + QString::fromLatin1(code.result().toHex().left(32));
  }

  std::mutex FLock;
  QByteArray FKey;
  QUrl FCommitted;
  QUrl FPending;
  // The folder every local page shown may read ("" for none, unset before the first).
  std::optional<QString> FEveryPage;
  // Commits of a page in another folder than the one before.
  quint64 FMoves = 0;
};

namespace {

// Whether a worker may make a request of the kind: frames, pictures, style sheets, media, objects, icons
// and prefetches only documents ask for.
bool WorkersAskFor(QWebEngineUrlRequestInfo::ResourceType Type) {
  using Info = QWebEngineUrlRequestInfo;
  static constexpr Info::ResourceType documents[] = {Info::ResourceTypeSubFrame,   Info::ResourceTypeImage,
                                                     Info::ResourceTypeStylesheet, Info::ResourceTypeMedia,
                                                     Info::ResourceTypeObject,     Info::ResourceTypeFavicon,
                                                     Info::ResourceTypePrefetch};
  return std::find(std::begin(documents), std::end(documents), Type) == std::end(documents);
}

// Whether the engine may keep what a request of the kind loads and hand it to a later page: all but
// documents.
bool Kept(QWebEngineUrlRequestInfo::ResourceType Type) {
  using Info = QWebEngineUrlRequestInfo;
  return Type != Info::ResourceTypeSubFrame && Type != Info::ResourceTypeObject &&
         Type != Info::ResourceTypeMainFrame;
}

// Judges every request of the page for a local file that is not a main-frame navigation by its read rule
// (see TReadRule), and tells the rule of each main-frame request.
class TLocalFileGuard final : public QWebEngineUrlRequestInterceptor {
 public:
  TLocalFileGuard(std::shared_ptr<TReadRule> Rule, QObject* Parent)
      : QWebEngineUrlRequestInterceptor(Parent), FRule(std::move(Rule)) {}
  void interceptRequest(QWebEngineUrlRequestInfo& Info) override {
    const QUrl url = Info.requestUrl();
    if (Info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) {
      FRule->Requested(url);
      return;
    }
    if (!url.isLocalFile()) return;
    const auto judgement = FRule->Judge(url, WorkersAskFor(Info.resourceType()), Kept(Info.resourceType()));
    switch (judgement.Verdict) {
      case TReadRule::TVerdict::Allow:
        return;
      case TReadRule::TVerdict::Block:
        Info.block(true);
        return;
      case TReadRule::TVerdict::AskAgain:
        Info.redirect(judgement.Again);
        return;
    }
  }

 private:
  std::shared_ptr<TReadRule> FRule;
};

// Shared workers load their scripts and make their requests past every request filter of the engine
// (a local page's shared worker could read any file), so the engine runs without them. The switch is read
// when the engine starts, which this does; the environment is then put back as it was, so that programs
// this process starts do not inherit it.
void StartEngineWithoutSharedWorkers() {
  [[maybe_unused]] static const bool started = [] {
    static constexpr char name[] = "QTWEBENGINE_CHROMIUM_FLAGS";
    static constexpr char flag[] = "--disable-shared-workers";
    const bool had = qEnvironmentVariableIsSet(name);
    const QByteArray flags = qgetenv(name);
    qputenv(name, flags.isEmpty() ? QByteArray(flag) : flags + ' ' + flag);
    (void)QWebEngineProfile::defaultProfile();
    if (had)
      qputenv(name, flags);
    else
      qunsetenv(name);
    return true;
  }();
}

std::string ToStd(const QString& s) {
  return s.toUtf8().toStdString();
}
QString ToQt(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

[[noreturn]] void Fail(const std::string& what) {
  throw EOleException(what);
}

// An engine job that finishes later: the callbacks may outlive the wait, so they share this state.
struct TJob {
  bool Done = false;
  bool Ok = false;
  // Why a job failed, when known.
  std::string Reason;
  // How much the engine wrote, as it reports it.
  qint64 Written = -1;
  QEventLoop* Loop = nullptr;
  void Finish(bool ok, std::string reason = {}) {
    if (Done) return;
    Ok = ok;
    Reason = std::move(reason);
    Done = true;
    if (Loop) Loop->quit();
  }
};

// Starts a job and runs the event loop until it finishes or the time is up (then it failed).
std::shared_ptr<TJob> RunJob(const std::function<void(const std::shared_ptr<TJob>& Job)>& Start) {
  auto job = std::make_shared<TJob>();
  QEventLoop loop;
  QTimer::singleShot(kJobTimeoutMs, &loop, &QEventLoop::quit);
  Start(job);
  if (!job->Done) {
    job->Loop = &loop;
    loop.exec();
    job->Loop = nullptr;
  }
  job->Finish(false, "Zeitüberschreitung");
  return job;
}

// A page that cannot be written into the file Path, because of Reason.
[[noreturn]] void FailFile(const QString& Path, const std::string& Reason) {
  throw EWebFileError("Die Seite konnte nicht in die Datei \"" + ToStd(Path) +
                      "\" geschrieben werden: " + Reason);
}

// Why a page's file failed when a file or folder of its own, Name, cannot be made: Error telling why.
std::string CannotCreate(const QString& Name, int Error) {
  return "Datei " + ToStd(Name) + " kann nicht erstellt werden (" +
         SysErrorMessage(static_cast<uint32_t>(Error)) + ")";
}

// Why the engine stopped writing a page (its own text for the reason is not to be had for every write).
std::string WhyNotWritten(QWebEngineDownloadRequest::DownloadInterruptReason Reason) {
  switch (Reason) {
    case QWebEngineDownloadRequest::FileNoSpace:
      return SysErrorMessage(ENOSPC);
    case QWebEngineDownloadRequest::FileAccessDenied:
      return SysErrorMessage(EACCES);
    case QWebEngineDownloadRequest::FileNameTooLong:
      return SysErrorMessage(ENAMETOOLONG);
    case QWebEngineDownloadRequest::FileTooLarge:
      return SysErrorMessage(EFBIG);
    default:
      return "die Web-Engine konnte sie nicht schreiben";
  }
}

// What a failed write raised, with the system's reason.
std::string Why(const Exception& E) {
  return errno != 0 ? E.Message + " (" + SysErrorMessage(static_cast<uint32_t>(errno)) + ")" : E.Message;
}

// Whether the file system holding Dir has room for more (the engine reports a write that a full file
// system cut short as finished).
bool RoomLeft(const QString& Dir) {
  struct statvfs fs {};
  if (::statvfs(QFile::encodeName(Dir).constData(), &fs) != 0) return true;
  return (::geteuid() == 0 ? fs.f_bfree : fs.f_bavail) > 0;
}

// Whether the folder Dir takes an entry called Name.
bool NameFits(const QString& Dir, const QString& Name) {
  const long longest = ::pathconf(QFile::encodeName(Dir).constData(), _PC_NAME_MAX);
  return QFile::encodeName(Name).size() <= (longest > 0 ? longest : 255);
}

// A folder of its own beside a file being written, for the web engine to write into; it is removed with
// whatever it holds when the write is done.
class TDraftFolder {
 public:
  // In the temporary folder where the file's folder takes no new entry: a file the user may write is
  // then written in place, as every save does there.
  explicit TDraftFolder(const QString& Beside) {
    for (const QString& dir : {QFileInfo(Beside).absolutePath(), QDir::tempPath()}) {
      QByteArray pattern = QFile::encodeName(dir + "/.pelloran-XXXXXX");
      if (::mkdtemp(pattern.data()) != nullptr) {
        FPath = QFile::decodeName(pattern);
        return;
      }
      if (errno != EACCES && errno != EPERM) return;
      if (FAwayBecause == 0) FAwayBecause = errno;
    }
  }
  ~TDraftFolder() {
    if (FPath.isEmpty()) return;
    namespace fs = std::filesystem;
    const fs::path path = QFile::encodeName(FPath).toStdString();
    // A folder replaced by the engine's work may hold folders that the user made read-only: their
    // entries can only be removed once they may be written (folders only; the files are linked
    // into the new folder and keep their modes).
    std::error_code ec, ignored;
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      if (it->symlink_status(ignored).type() == fs::file_type::directory)
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                        ignored);
    fs::remove_all(path, ignored);
  }
  TDraftFolder(const TDraftFolder&) = delete;
  TDraftFolder& operator=(const TDraftFolder&) = delete;
  [[nodiscard]] const QString& Path() const { return FPath; }
  // Why the folder is not beside the file (0 when it is): no new folder can be made there either.
  [[nodiscard]] int AwayBecause() const { return FAwayBecause; }

 private:
  QString FPath;
  int FAwayBecause = 0;
};

// What the engine wrote into a draft folder when asked for the file Name: that file, or else the one it
// wrote instead, and the folder of its parts (empty when there is none).
struct TDraftWork {
  QString File, Parts;
};
TDraftWork WrittenInto(const QString& Draft, const QString& Name) {
  TDraftWork work;
  const auto entries =
      QDir(Draft).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  for (const QFileInfo& e : entries)
    if (e.isDir() && !e.isSymLink())
      work.Parts = e.absoluteFilePath();
    else if (work.File.isEmpty() || e.fileName() == Name)
      work.File = e.absoluteFilePath();
  return work;
}

// Has the engine write Page into File (an archive, or the page with the folder of its parts beside it)
// and waits until it has finished, failed or come to a full file system. Context owns the connections.
std::shared_ptr<TJob> WritePage(QObject* Context, QWebEnginePage* Page, const QString& File, bool Archive) {
  const QString folder = QFileInfo(File).absolutePath();
  QMetaObject::Connection watch;
  QTimer room;
  QPointer<QWebEngineDownloadRequest> writing;
  const auto job = RunJob([&](const std::shared_ptr<TJob>& job) {
    watch = QObject::connect(
        Page->profile(), &QWebEngineProfile::downloadRequested, Context,
        [job, Page, &writing](QWebEngineDownloadRequest* download) {
          if (!download->isSavePageDownload() || download->page() != Page) return;
          writing = download;
          QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, download,
                           [job, download] {
                             if (!download->isFinished() || job->Done) return;
                             job->Written = download->receivedBytes();
                             job->Finish(download->state() == QWebEngineDownloadRequest::DownloadCompleted,
                                         WhyNotWritten(download->interruptReason()));
                           });
          download->accept();
        });
    // A full file system stops the engine's writing without a word (it never finishes an archive).
    QObject::connect(&room, &QTimer::timeout, &room, [job, folder] {
      if (!RoomLeft(folder)) job->Finish(false, SysErrorMessage(ENOSPC));
    });
    room.start(100);
    Page->save(File, Archive ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                             : QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
  });
  QObject::disconnect(watch);
  if (writing && !writing->isFinished()) writing->cancel();
  return job;
}

TWebEngineFactory& Factory() {
  static TWebEngineFactory factory;
  return factory;
}

}  // namespace

// --- addresses

std::string WebAddressToURL(const std::string& Address) {
  const QString address = ToQt(Address).trimmed();
  if (address.isEmpty()) return "about:blank";
  // A scheme has two letters at least, so "C:" stays a drive, and is not followed by a port number.
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:(?!\\d+(/|$))"));
  if (scheme.match(address).hasMatch()) return ToStd(address);
  const std::string resolved = ResolvePath(ToStd(address));
  std::error_code ec;
  const bool exists = std::filesystem::exists(resolved, ec);
  if (exists || address.startsWith('/') || address.startsWith(QStringLiteral("./")) ||
      address.startsWith(QStringLiteral("../")) || address.contains('\\')) {
    QString path = QDir::cleanPath(QDir::current().absoluteFilePath(ToQt(resolved)));
    if (exists && std::filesystem::is_directory(resolved, ec) && !path.endsWith('/')) path += '/';
    return ToStd(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
  }
  return ToStd(QUrl(QStringLiteral("http://") + address).toString(QUrl::FullyEncoded));
}

// --- factories

std::unique_ptr<TWebEngine> CreateWebEngine() {
  if (Factory()) return Factory()();
  return std::make_unique<TQtWebEngine>();
}

TWebEngineFactory SetWebEngineFactory(TWebEngineFactory NewFactory) {
  std::swap(Factory(), NewFactory);
  return NewFactory;
}

// --- TQtWebEngine

// The engine starts with its view, so that the web engine's processes come up while the window around it
// is still being built.
TQtWebEngine::TQtWebEngine() {
  CreateView();
}

TQtWebEngine::~TQtWebEngine() {
  // A view that no widget has adopted is still ours.
  if (FView && !FView->parent()) delete FView.data();
}

QWebEngineView* TQtWebEngine::View() {
  if (!FView) CreateView();
  return FView;
}

void* TQtWebEngine::NativeWidget() {
  return View();
}

void TQtWebEngine::CreateView() {
  ResetCommandState();
  FLoadingURL.clear();
  StartEngineWithoutSharedWorkers();
  FReadRule = std::make_shared<TReadRule>();
  auto* view = new QWebEngineView;
  FView = view;
  const QPointer<TQtWebEngine> self(this);
  auto* page =
      new TEnginePage([self](const QUrl& Url) { return self && self->NavigationRequested(Url); }, view);
  page->setUrlRequestInterceptor(new TLocalFileGuard(FReadRule, page));
  view->setPage(page);
  page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
  // Only a user's click may lead to another program (NavigationRequested asks the user first).
  page->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
  QObject::connect(page, &QWebEnginePage::newWindowRequested, this,
                   [this](const QWebEngineNewWindowRequest& Request) {
                     NewWindowRequested(Request.requestedUrl(), Request.isUserInitiated());
                   });
  QObject::connect(page, &QWebEnginePage::urlChanged, this, [this, rule = FReadRule](const QUrl& Url) {
    // The view's address changes only when the main frame commits (a new document, or a move within it).
    rule->Committed(Url);
    FLoadCommitted = true;
    ReportNavigation();
  });
  QObject::connect(page, &QWebEnginePage::loadingChanged, this,
                   [this](const QWebEngineLoadingInfo& Info) { LoadingChanged(Info); });
  QObject::connect(page, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
    if (Events.TitleChange) Events.TitleChange(ToStd(title));
  });
  QObject::connect(page, &QWebEnginePage::fullScreenRequested, this,
                   [this](QWebEngineFullScreenRequest request) {
                     request.accept();
                     if (Events.FullScreen) Events.FullScreen(request.toggleOn());
                   });
  // Reading the history sets the page up at once, on its empty document: nothing is loaded and no
  // event fires (the state reported is the one just reset), but the page's renderer starts now rather
  // than at the first navigation.
  UpdateCommandState();
}

bool TQtWebEngine::NavigationRequested(const QUrl& Url) {
  if (IsEngineScheme(Url.scheme())) return true;
  // The engine asks only for a link the user clicked.
  OfferExternal(Url);
  return false;
}

void TQtWebEngine::OfferExternal(const QUrl& Url) {
  // The question waits until the engine's call has returned.
  QTimer::singleShot(0, this, [this, Url] {
    const std::string url = ToStd(Url.toString(QUrl::FullyEncoded));
    // Started through the launcher, so that the opener and what it starts hold none of the engine's
    // descriptors (which would also keep the engine's processes alive after this program ends).
    if (Events.ConfirmExternal && Events.ConfirmExternal(ToStd(Url.scheme()), url))
      (void)OpenWithDesktop(url);
  });
}

void TQtWebEngine::NewWindowRequested(const QUrl& Url, bool UserInitiated) {
  if (!IsEngineScheme(Url.scheme())) {
    // As for a link in the page: only a user's click may lead to another program.
    if (UserInitiated) OfferExternal(Url);
    return;
  }
  if (!MayOpenInView(Url)) return;
  // The view goes there once the engine's call has returned, as if the page had followed a link.
  const QPointer<QWebEngineView> view(FView);
  QTimer::singleShot(0, this, [view, Url] {
    if (view) view->load(Url);
  });
}

bool TQtWebEngine::MayOpenInView(const QUrl& Url) const {
  // An empty window (about:blank, for its opener to write into), a script or a document made in the page
  // (data:, blob:) has no address of its own to show in the view's place; the page stays.
  const QString scheme = Url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) return true;
  // As with links, only a local page may lead to a local file.
  return scheme == QLatin1String("file") && FView && FView->url().isLocalFile();
}

void TQtWebEngine::ReportNavigation() {
  UpdateCommandState();
  if (Events.NavigateComplete) Events.NavigateComplete(LocationURL());
}

void TQtWebEngine::LoadingChanged(const QWebEngineLoadingInfo& Info) {
  const QUrl url = Info.url();
  if (Info.status() != QWebEngineLoadingInfo::LoadStartedStatus) FReadRule->Ended(url);
  // A link handed to another program loads nothing here.
  if (!IsEngineScheme(url.scheme())) return;
  switch (Info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      FLoadingURL = url;
      FLoadCommitted = false;
      return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
      // A navigation that kept the address (a reload) is reported when it is done; the end of an
      // earlier load that a newer one overtook is not, nor a load that ended without showing its address
      // (the page it would have replaced stays, and so does its address).
      if (url == FLoadingURL && !FLoadCommitted && FView && url == FView->url()) {
        FLoadingURL.clear();
        ReportNavigation();
        return;
      }
      break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      break;
  }
  if (url == FLoadingURL) FLoadingURL.clear();
  UpdateCommandState();
}

void TQtWebEngine::UpdateCommandState() {
  if (!FView) return;
  ReportCommandState(FView->history()->canGoBack(), FView->history()->canGoForward());
}

void TQtWebEngine::Navigate(const std::string& URL) {
  View()->load(QUrl(ToQt(URL)));
}

void TQtWebEngine::GoBack() {
  if (!CanGoBack()) Fail("Unbekannter Fehler");
  FView->back();
}

void TQtWebEngine::GoForward() {
  if (!CanGoForward()) Fail("Unbekannter Fehler");
  FView->forward();
}

void TQtWebEngine::Reload() {
  View()->reload();
}

void TQtWebEngine::Stop() {
  View()->stop();
}

bool TQtWebEngine::CanGoBack() const {
  return FView && FView->history()->canGoBack();
}

bool TQtWebEngine::CanGoForward() const {
  return FView && FView->history()->canGoForward();
}

std::string TQtWebEngine::LocationURL() const {
  return FView ? ToStd(FView->url().toString(QUrl::FullyEncoded)) : std::string();
}

std::string TQtWebEngine::LocationName() const {
  return FView ? ToStd(FView->title()) : std::string();
}

void TQtWebEngine::Print(const std::string& PrinterName, const std::string& FileName) {
  QWebEngineView* view = View();
  if (!FileName.empty()) {
    PrintToFile(QDir::current().absoluteFilePath(ToQt(ResolveNewPath(FileName))));
    return;
  }
  const QPrinterInfo info =
      PrinterName.empty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(ToQt(PrinterName));
  if (info.isNull()) Fail("Kein Drucker verfügbar");
  // The printer must outlive the job, which may end after the wait gave up.
  auto printer = std::make_shared<QPrinter>(info);
  const auto job = RunJob([&](const std::shared_ptr<TJob>& job) {
    QObject::connect(
        view, &QWebEngineView::printFinished, this, [job, printer](bool success) { job->Finish(success); },
        Qt::SingleShotConnection);
    view->print(printer.get());
  });
  if (!job->Ok) Fail("Die Seite konnte nicht gedruckt werden");
}

void TQtWebEngine::PrintToFile(const QString& Path) {
  // The document is made in memory and written as every file is: the engine's own writing of it would
  // report a document that a full disk cut short as written.
  auto pdf = std::make_shared<QByteArray>();
  const auto job = RunJob([&](const std::shared_ptr<TJob>& job) {
    View()->page()->printToPdf([job, pdf](const QByteArray& data) {
      *pdf = data;
      job->Finish(!data.isEmpty(), "die Web-Engine konnte kein PDF-Dokument erzeugen");
    });
  });
  if (!job->Ok) FailFile(Path, job->Reason);
  errno = 0;
  try {
    AtomicWriteFile(ToStd(Path), std::string_view(pdf->constData(), static_cast<size_t>(pdf->size())));
  } catch (const Exception& e) {
    FailFile(Path, Why(e));
  }
}

void TQtWebEngine::SaveAs(const std::string& FileName) {
  QWebEngineView* view = View();
  QWebEnginePage* page = view->page();
  const QString path = QDir::current().absoluteFilePath(ToQt(ResolveNewPath(FileName)));
  const QFileInfo target(path);
  // A name that ends in a folder ("dir/", ".") would have the engine write the page and its parts
  // somewhere beside the draft folder.
  if (const QString name = target.fileName(); name.isEmpty() || name == "." || name == "..")
    FailFile(path, SysErrorMessage(EISDIR));
  const QString suffix = target.suffix().toLower();
  const bool archive = suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml");
  // The engine writes into a folder of its own beside the file (a complete page also writes the folder
  // of its parts, "<name>_files", there); the file and that folder replace the old ones only when the
  // engine has finished and its work is whole.
  const QString parts = target.completeBaseName() + QStringLiteral("_files");
  // The engine drops the parts of a page whose folder it cannot name and reports the page as written.
  if (!archive && !NameFits(target.absolutePath(), parts))
    FailFile(path, CannotCreate(target.absolutePath() + '/' + parts, ENAMETOOLONG));
  const TDraftFolder draft(path);
  if (draft.Path().isEmpty()) FailFile(path, SysErrorMessage(static_cast<uint32_t>(errno)));
  const auto job = WritePage(this, page, draft.Path() + '/' + target.fileName(), archive);
  if (!job->Ok) FailFile(path, job->Reason);
  // The engine may name what it writes otherwise (it adds an extension to a name without one, and names
  // the parts' folder by its own rule): the page refers to the folder under the name it was given.
  const TDraftWork work = WrittenInto(draft.Path(), target.fileName());
  if (QFileInfo(work.Parts).fileName().startsWith(QFileInfo(draft.Path()).fileName()))
    FailFile(path, "die Web-Engine benennt den Ordner der Teile nicht nach dieser Datei");
  // What a full file system cut short is reported as written: the archive's length is known, a page is
  // never empty, and the file system must have room left.
  const qint64 size = work.File.isEmpty() ? 0 : QFileInfo(work.File).size();
  if (!RoomLeft(draft.Path()) || size <= 0 || (archive && size != job->Written))
    FailFile(path, SysErrorMessage(ENOSPC));
  const bool hasParts = !archive && !work.Parts.isEmpty();
  const QString partsFolder = target.absolutePath() + '/' + QFileInfo(work.Parts).fileName();
  if (hasParts && draft.AwayBecause() != 0) FailFile(path, CannotCreate(partsFolder, draft.AwayBecause()));
  errno = 0;
  try {
    ReplaceByFinished(ToStd(path), ToStd(work.File), hasParts ? ToStd(partsFolder) : "",
                      hasParts ? ToStd(work.Parts) : "");
  } catch (const Exception& e) {
    FailFile(path, Why(e));
  }
}
