// The Framelot window: files dropped on it are converted one after another on
// the batch runner's worker thread, and the count of converted files is shown
// when a drop is done. The window's own members belong to the window thread;
// the runner's events reach it as queued calls.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/BatchRunner.h"
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
    bool AbortRequested() const { return runner_->AbortRequested(); }
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
    void StartDrop(std::size_t files);
    void FinishDrop(int count, const QString& outcomes);
    void FinishAll(bool aborted);

    QString settingsPath_;
    ConvertFunction convert_;
    QuestionFunction askForceExit_;
    QLabel* label_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* folderAction_ = nullptr;

    std::atomic<bool> makeFolder_{true};  // read by the runner at the start of each file
    std::atomic<std::uint64_t> shownStep_{0};  // the bar's step last sent, on the runner's thread
    int pendingDrops_ = 0;  // submitted and not yet finished
    bool processing_ = false;
    bool closing_ = false;
    std::unique_ptr<BatchRunner> runner_;  // last member: stopped first
};

}  // namespace framelot
