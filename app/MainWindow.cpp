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

#include "app/Settings.h"
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

bool AskForceExit(QWidget* parent)
{
    return QMessageBox::question(parent, QStringLiteral("Framelot"), QStringLiteral("Now processing...\nForce exit?"),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

MainWindow::MainWindow(QString settingsPath, ConvertFunction convert, QuestionFunction askForceExit)
    : settingsPath_(std::move(settingsPath)),
      convert_(convert ? std::move(convert)
                       : ConvertFunction([](const std::string& path, bool makeFolder) {
                             return ConvertDroppedFile(path, makeFolder);
                         })),
      askForceExit_(askForceExit ? std::move(askForceExit) : QuestionFunction(AskForceExit))
{
    LoadWindowResources();
    setWindowTitle(QStringLiteral("Framelot"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/framelot-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/framelot-16.png"), QSize(16, 16));
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
        QMetaObject::invokeMethod(this, [this, total] { progress_->setRange(0, total), progress_->setValue(0); },
                                  Qt::QueuedConnection);
        int count = 0;
        bool aborted = false;
        for (int i = 0; i < total; ++i) {
            // The switch is read at the start of each file.
            const ConvertResult result = convert_(drop[static_cast<std::size_t>(i)], makeFolder_.load());
            if (abortRequested_) {
                aborted = true;
                break;
            }
            if (result.Status == ConvertStatus::Converted) ++count;
            QMetaObject::invokeMethod(this, [this, i] { progress_->setValue(i + 1); }, Qt::QueuedConnection);
        }
        if (aborted) continue;  // the loop head sees the abort and stops
        QMetaObject::invokeMethod(this, [this, count] { FinishDrop(count); }, Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, [this] { FinishAll(); }, Qt::QueuedConnection);
}

void MainWindow::FinishDrop(int count)
{
    label_->setText(QString::fromStdString(ResultText(count)));
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
        WriteMakeFolder(settingsPath_, makeFolder_);
        event->accept();
        return;
    }
    event->ignore();
    if (askForceExit_(this)) abortRequested_ = true;
}

}  // namespace framelot
