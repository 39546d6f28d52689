#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QKeyEvent>
#include <QUrl>

#include <cstdio>

#include "app/Settings.h"
#include "convert/Dispatch.h"
#include "convert/SourceFormats.h"

// The icons live in this static library's resources, which the linker would
// otherwise drop.
static void LoadWindowResources()
{
    Q_INIT_RESOURCE(app);
}

namespace framelot {
namespace {

// Local files among the drop's URLs, in the drop's order.
std::vector<std::string> LocalFiles(const QMimeData* mime)
{
    std::vector<std::string> files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
    }
    return files;
}

bool AskForceExit(QWidget* parent)
{
    return QMessageBox::question(parent, QStringLiteral("Framelot"), QStringLiteral("Now processing...\nForce exit?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::vector<std::string> ChooseFiles(QWidget* parent)
{
    const QString filter = QStringLiteral("Animations (%1);;All files (*)")
                               .arg(QString::fromStdString(ExtensionPatterns(" ")));
    std::vector<std::string> files;
    for (const QString& file : QFileDialog::getOpenFileNames(parent, QStringLiteral("Open files"), QString(), filter)) {
        files.push_back(file.toStdString());
    }
    return files;
}

// Only a folder that is there, as a folder URL: the desktop's handler for
// folders opens it, and a name that is gone never reaches it.
bool ShowFolder(const std::string& folder)
{
    const QFileInfo info(QString::fromStdString(folder));
    if (!info.isDir()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath() + QLatin1Char('/')));
}

}  // namespace

MainWindow::MainWindow(QString settingsPath, Hooks hooks)
    : settingsPath_(std::move(settingsPath)), hooks_(std::move(hooks))
{
    if (!hooks_.AskForceExit) hooks_.AskForceExit = AskForceExit;
    if (!hooks_.ChooseFiles) hooks_.ChooseFiles = ChooseFiles;
    if (!hooks_.ShowFolder) hooks_.ShowFolder = ShowFolder;
    LoadWindowResources();
    setWindowTitle(QStringLiteral("Framelot"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/framelot-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
    setAcceptDrops(true);

    // Sizes in dialog units of the window's font: a horizontal unit is a quarter
    // of the average character width, a vertical one an eighth of the height.
    const QFontMetrics metrics(font());
    const double unitX = metrics.averageCharWidth() / 4.0;
    const double unitY = metrics.height() / 8.0;
    auto du = [&](double x, double y, double w, double h) {
        return QRect(qRound(x * unitX), qRound(y * unitY), qRound(w * unitX), qRound(h * unitY));
    };
    setFixedSize(du(0, 0, 75, 57).size());

    label_ = new QLabel(QStringLiteral("Drop file here."), this);
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setGeometry(du(7, 22, 61, 20));

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setGeometry(du(7, 46, 61, 4));
    progress_->hide();

    popup_ = new QMenu(this);
    folderAction_ = popup_->addAction(QStringLiteral("フォルダを作る"));
    folderAction_->setCheckable(true);
    connect(folderAction_, &QAction::triggered, this, [this] { ToggleMakeFolder(); });
    openAction_ = popup_->addAction(QStringLiteral("Open files..."));
    connect(openAction_, &QAction::triggered, this, [this] { OpenFiles(); });
    showAction_ = popup_->addAction(QStringLiteral("Show frames"));
    showAction_->setVisible(false);
    connect(showAction_, &QAction::triggered, this, [this] { ShowFrames(); });

    makeFolder_ = ReadMakeFolder(settingsPath_);
    folderAction_->setChecked(makeFolder_);

    // The runner's events come on its thread; each is handed to the window
    // thread as a queued call, so they arrive there in the order told.
    BatchEvents events;
    events.DropStarted = [this](std::size_t files) {
        shownStep_ = 0;
        QMetaObject::invokeMethod(this, [this, files] { StartDrop(files); }, Qt::QueuedConnection);
    };
    events.Progress = [this](const DropProgress& p) {
        if (p.Steps == shownStep_) return;  // one update a step at most
        shownStep_ = p.Steps;
        QMetaObject::invokeMethod(
            this, [this, value = static_cast<int>(p.Steps)] { progress_->setValue(value); }, Qt::QueuedConnection);
    };
    events.DropDone = [this](const DropReport& report) {
        QMetaObject::invokeMethod(
            this,
            [this, count = report.Converted, outcomes = QString::fromStdString(report.OutcomeText),
             folder = report.FramesFolder] { FinishDrop(count, outcomes, folder); },
            Qt::QueuedConnection);
    };
    events.Idle = [this](bool aborted) {
        QMetaObject::invokeMethod(this, [this, aborted] { FinishAll(aborted); }, Qt::QueuedConnection);
    };
    BatchConvertFunction converter;  // empty: the runner's own dispatch
    if (hooks_.Convert) {
        converter = [this](const std::string& path, const OutputOptions& options, unsigned,
                           const ProgressFunction& progress) {
            return hooks_.Convert(path, options.MakeFolder, progress);
        };
    }
    BatchSettings settings{1, [this] { return makeFolder_.load(); }, converter};
    settings.OpenFolders = true;
    runner_ = std::make_unique<BatchRunner>(std::move(settings), std::move(events));
}

MainWindow::~MainWindow()
{
    // A file being converted is finished, nothing further is started.
    runner_.reset();
}

QString MainWindow::ResultLabelText() const
{
    return label_->text();
}

QString MainWindow::ResultToolTip() const
{
    return label_->toolTip();
}

void MainWindow::ToggleMakeFolder()
{
    makeFolder_ = !makeFolder_;
    folderAction_->setChecked(makeFolder_);
}

void MainWindow::OpenFiles()
{
    ConvertFiles(hooks_.ChooseFiles(this));
}

void MainWindow::ShowFrames()
{
    if (framesFolder_.empty()) return;
    const bool there = QFileInfo(QString::fromStdString(framesFolder_)).isDir();
    if (!there || !hooks_.ShowFolder(framesFolder_)) {
        const QString why = there ? QStringLiteral("cannot open the frames folder: %1")
                                  : QStringLiteral("the frames folder is gone: %1");
        label_->setToolTip(why.arg(QString::fromStdString(framesFolder_)));
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> files = LocalFiles(event->mimeData());
    if (files.empty() || state_.Closed) return;
    event->acceptProposedAction();
    ConvertFiles(std::move(files));
}

void MainWindow::ConvertFiles(std::vector<std::string> files)
{
    const DropActions actions = OnSubmitted(state_, !files.empty());
    Apply(actions);
    if (actions.Submit) runner_->Submit(std::move(files));
}

// Everything but Submit, which needs the files, and the answer to the question,
// which closeEvent waits for.
void MainWindow::Apply(const DropActions& actions)
{
    if (actions.ShowBusy) {
        setCursor(Qt::BusyCursor);
        progress_->setRange(0, 0);
        progress_->show();
    }
    if (actions.ShowIdle) {
        unsetCursor();
        progress_->hide();
    }
    if (actions.Abort) runner_->RequestAbort();
    if (actions.Close) close();
}

void MainWindow::StartDrop(std::size_t files)
{
    progress_->setRange(0, static_cast<int>(files * ProgressStepsPerFile));
    progress_->setValue(0);
}

void MainWindow::FinishDrop(int count, const QString& outcomes, const std::string& framesFolder)
{
    if (!OnDropDone(state_).ShowResult) return;
    if (!framesFolder.empty()) {
        framesFolder_ = framesFolder;
        showAction_->setVisible(true);
    }
    progress_->setValue(progress_->maximum());
    label_->setText(QString::fromStdString(ResultText(count)));
    label_->setToolTip(outcomes);
    emit DropFinished(count);
}

void MainWindow::FinishAll(bool aborted)
{
    Apply(OnIdle(state_, aborted));
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        popup_->popup(event->globalPosition().toPoint());
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {  // Esc makes a close request
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    DropActions actions = OnCloseAsked(state_);
    if (actions.AskForceExit) {
        // The question runs an event loop of its own: drops may end meanwhile,
        // and the answer is weighed against the state when it returns.
        actions = OnAnswered(state_, hooks_.AskForceExit(this));
        if (actions.Abort) runner_->RequestAbort();
    }
    if (!actions.Close) {
        event->ignore();
        return;
    }
    if (!WriteMakeFolder(settingsPath_, makeFolder_)) {
        std::fprintf(stderr, "framelot: cannot save the setting to %s\n", settingsPath_.toLocal8Bit().constData());
    }
    event->accept();
}

}  // namespace framelot
