// The Framelot window: files dropped on it are converted one after another on
// the batch runner's worker thread, and the count of converted files is shown
// when a drop is done. A dropped folder stands for the animations directly
// inside it. The right-click menu holds the placement switch, "Open files..."
// (a file dialog whose choice is converted as a drop) and, once a drop has
// converted a file, "Show frames" (the folder of the last converted file's
// frames in the file manager). The window's own members belong to the window
// thread; the runner's events reach it as queued calls.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/BatchRunner.h"
#include "convert/DropState.h"
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
    using ChooseFilesFunction = std::function<std::vector<std::string>(QWidget* parent)>;
    using ShowFolderFunction = std::function<bool(const std::string& folder)>;

    // What the window asks of the system, each replaceable (for tests); an
    // empty one is the system's own.
    struct Hooks {
        ConvertFunction Convert;          // the dispatch of a drop
        QuestionFunction AskForceExit;    // "Now processing...\nForce exit?" Yes/No
        ChooseFilesFunction ChooseFiles;  // the file dialog of "Open files..."; nothing chosen: empty
        ShowFolderFunction ShowFolder;    // opens a folder that exists in the file manager; false when it cannot
    };

    // `settingsPath` is read now and written when the window closes.
    explicit MainWindow(QString settingsPath, Hooks hooks = {});
    ~MainWindow() override;

    // Converts the files as one drop, after any drop still waiting: what a
    // drop does, and what the files named on the command line get.
    void ConvertFiles(std::vector<std::string> files);

    bool MakeFolder() const { return makeFolder_.load(); }
    bool IsProcessing() const { return state_.Processing; }
    bool AbortRequested() const { return runner_->AbortRequested(); }
    QString ResultLabelText() const;
    QString ResultToolTip() const;
    QProgressBar* ProgressBar() const { return progress_; }
    QMenu* Popup() const { return popup_; }
    QAction* FolderAction() const { return folderAction_; }
    QAction* OpenFilesAction() const { return openAction_; }
    QAction* ShowFramesAction() const { return showAction_; }  // hidden until a drop converts a file

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
    void OpenFiles();
    void ShowFrames();
    void StartDrop(std::size_t files);
    void FinishDrop(int count, const QString& outcomes, const std::string& framesFolder);
    void FinishAll(bool aborted);
    void Apply(const DropActions& actions);

    QString settingsPath_;
    Hooks hooks_;
    QLabel* label_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* folderAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* showAction_ = nullptr;
    std::string framesFolder_;  // the last converted file's frames

    std::atomic<bool> makeFolder_{true};  // read by the runner at the start of each file
    std::atomic<std::uint64_t> shownStep_{0};  // the bar's step last sent, on the runner's thread
    DropState state_;
    std::unique_ptr<BatchRunner> runner_;  // last member: stopped first
};

}  // namespace framelot
