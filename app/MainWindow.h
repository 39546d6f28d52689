// The Framelot window: files dropped on it are converted one after another on
// a worker thread, and the count of converted files is shown when a drop is done.
#pragma once

#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/FileConversion.h"
#include "imaging/ConvertResult.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;

namespace framelot {

class MainWindow : public QWidget {
    Q_OBJECT

public:
    using ConvertFunction =
        std::function<ConvertResult(const std::string& path, bool makeFolder, const ProgressFunction& progress)>;
    using QuestionFunction = std::function<bool(QWidget* parent)>;

    // `settingsPath` is read now and written when the window closes. The
    // converter and the Force-exit question can be replaced (for tests).
    explicit MainWindow(QString settingsPath, ConvertFunction convert = {}, QuestionFunction askForceExit = {});
    ~MainWindow() override;

    // Converts the files as one drop, after any drop still waiting: what a
    // drop does, and what the files named on the command line get.
    void ConvertFiles(std::vector<std::string> files);

    bool MakeFolder() const { return makeFolder_.load(); }
    bool IsProcessing() const { return processing_; }
    bool AbortRequested() const { return abortRequested_.load(); }
    QString ResultLabelText() const;
    QString ResultToolTip() const;
    QProgressBar* ProgressBar() const { return progress_; }
    QMenu* Popup() const { return popup_; }
    QAction* FolderAction() const { return folderAction_; }

signals:
    void DropFinished(int convertedCount);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ToggleMakeFolder();
    void StartWorkerIfIdle();
    void WorkerLoop();
    void FinishDrop(int count, const QString& outcomes);

    static constexpr int ProgressSteps = 1000;  // a file's share of the bar
    void FinishAll();

    QString settingsPath_;
    ConvertFunction convert_;
    QuestionFunction askForceExit_;
    QLabel* label_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* folderAction_ = nullptr;

    std::atomic<bool> makeFolder_{true};
    std::atomic<bool> abortRequested_{false};
    bool processing_ = false;  // window thread only
    bool closing_ = false;
    bool workerRunning_ = false;  // guarded by mutex_

    std::mutex mutex_;
    std::deque<std::vector<std::string>> drops_;  // waiting drops, in order
    std::thread worker_;
};

}  // namespace framelot
