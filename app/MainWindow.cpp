#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
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

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/Settings.h"
#include "convert/Describe.h"
#include "convert/Dispatch.h"

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

// Each file's outcome, a line each: the first MaxOutcomeLines, then how many
// more there were.
QString OutcomeList(const std::vector<std::string>& outcomes)
{
    constexpr std::size_t MaxOutcomeLines = 20;
    QStringList lines;
    for (std::size_t i = 0; i < outcomes.size() && i < MaxOutcomeLines; ++i) lines << QString::fromStdString(outcomes[i]);
    if (outcomes.size() > MaxOutcomeLines) {
        lines << QStringLiteral("... and %1 more").arg(outcomes.size() - MaxOutcomeLines);
    }
    return lines.join(QLatin1Char('\n'));
}

bool AskForceExit(QWidget* parent)
{
    return QMessageBox::question(parent, QStringLiteral("Framelot"), QStringLiteral("Now processing...\nForce exit?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

MainWindow::MainWindow(QString settingsPath, ConvertFunction convert, QuestionFunction askForceExit)
    : settingsPath_(std::move(settingsPath)),
      convert_(convert ? std::move(convert)
                       : ConvertFunction([](const std::string& path, bool makeFolder, const ProgressFunction& progress) {
                             return ConvertDroppedFile(path, makeFolder, DefaultEncodeThreads(), progress);
                         })),
      askForceExit_(askForceExit ? std::move(askForceExit) : QuestionFunction(AskForceExit))
{
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

    makeFolder_ = ReadMakeFolder(settingsPath_);
    folderAction_->setChecked(makeFolder_);
}

MainWindow::~MainWindow()
{
    // A file being converted is finished, nothing further is started.
    abortRequested_ = true;
    if (worker_.joinable()) worker_.join();
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
    if (files.empty() || closing_) return;
    event->acceptProposedAction();
    ConvertFiles(std::move(files));
}

void MainWindow::ConvertFiles(std::vector<std::string> files)
{
    if (files.empty() || closing_) return;
    {
        std::lock_guard lock(mutex_);
        drops_.push_back(std::move(files));
    }
    StartWorkerIfIdle();
}

void MainWindow::StartWorkerIfIdle()
{
    {
        std::lock_guard lock(mutex_);
        if (workerRunning_) return;
        workerRunning_ = true;
    }
    if (worker_.joinable()) worker_.join();  // the previous worker has already left its loop
    processing_ = true;
    setCursor(Qt::BusyCursor);
    progress_->setRange(0, 0);
    progress_->show();
    worker_ = std::thread([this] { WorkerLoop(); });
}

void MainWindow::WorkerLoop()
{
    for (;;) {
        std::vector<std::string> drop;
        {
            std::lock_guard lock(mutex_);
            if (drops_.empty() || abortRequested_) {
                drops_.clear();
                workerRunning_ = false;
                break;
            }
            drop = std::move(drops_.front());
            drops_.pop_front();
        }
        const int total = static_cast<int>(drop.size());
        QMetaObject::invokeMethod(
            this, [this, total] { progress_->setRange(0, total * ProgressSteps), progress_->setValue(0); },
            Qt::QueuedConnection);
        int count = 0;
        bool aborted = false;
        std::vector<std::string> outcomes;
        for (int i = 0; i < total; ++i) {
            // The bar moves with the frames of the file: files done plus the
            // share of this one, one update a step at most.
            int shown = -1;
            const ProgressFunction progress = [this, i, &shown](std::uint64_t done, std::uint64_t frames) {
                const int step = frames == 0 ? 0 : static_cast<int>(std::min(done, frames) * ProgressSteps / frames);
                if (step == shown) return;
                shown = step;
                QMetaObject::invokeMethod(
                    this, [this, value = i * ProgressSteps + step] { progress_->setValue(value); },
                    Qt::QueuedConnection);
            };
            // The switch is read at the start of each file.
            const std::string& path = drop[static_cast<std::size_t>(i)];
            ConvertResult result = convert_(path, makeFolder_.load(), progress);
            if (abortRequested_) {
                aborted = true;
                break;
            }
            if (result.Status == ConvertStatus::Converted) ++count;
            result.Destination = std::filesystem::path(result.Destination).filename().string();
            outcomes.push_back(DescribeResult(std::filesystem::path(path).filename().string(), result));
            QMetaObject::invokeMethod(this, [this, i] { progress_->setValue((i + 1) * ProgressSteps); },
                                      Qt::QueuedConnection);
        }
        if (aborted) continue;  // the loop head sees the abort and stops
        QMetaObject::invokeMethod(
            this, [this, count, list = OutcomeList(outcomes)] { FinishDrop(count, list); }, Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, [this] { FinishAll(); }, Qt::QueuedConnection);
}

void MainWindow::FinishDrop(int count, const QString& outcomes)
{
    progress_->setValue(progress_->maximum());
    label_->setText(QString::fromStdString(ResultText(count)));
    label_->setToolTip(outcomes);
    emit DropFinished(count);
}

void MainWindow::FinishAll()
{
    {
        std::lock_guard lock(mutex_);
        if (workerRunning_) return;  // a new drop has started another worker
    }
    processing_ = false;
    unsetCursor();
    progress_->hide();
    if (abortRequested_) close();
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
    if (!processing_ || abortRequested_) {
        closing_ = true;
        if (!WriteMakeFolder(settingsPath_, makeFolder_)) {
            std::fprintf(stderr, "framelot: cannot save the setting to %s\n", settingsPath_.toLocal8Bit().constData());
        }
        event->accept();
        return;
    }
    event->ignore();
    if (askForceExit_(this)) abortRequested_ = true;
}

}  // namespace framelot
