#include "main/qtshell.h"

#include "main/application.h"
#include "main/entrypicker.h"
#include "main/modelsummary.h"
#include "main/renderarea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kListWidth = 200;
const char kModelFilter[] = "Alamo Files (*.alo, *.meg)";
const char kAllFilter[] = "All Files (*.*)";

// Qt reads the patterns of a filter from its text, and the comma in "(*.alo, *.meg)" would make
// one of them "*.alo,", which hides every .alo file. The open dialog therefore shows every file to
// this filter, which keeps folders and, under the Alamo filter, the .ALO and .MEG files in any case.
class ModelFileFilter : public QSortFilterProxyModel {
public:
    explicit ModelFileFilter(QFileDialog& dialog) : QSortFilterProxyModel(&dialog), m_dialog(dialog) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr || m_dialog.selectedNameFilter() != kModelFilter) {
            return true;
        }
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        const QString suffix = info.suffix().toLower();
        return info.isDir() || suffix == "alo" || suffix == "meg";
    }

private:
    QFileDialog& m_dialog;
};

class CopyableMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!event->matches(QKeySequence::Copy)) {
            QMessageBox::keyPressEvent(event);
            return;
        }
        const QString line = "---------------------------\n";
        QString buttons;
        for (const QAbstractButton* button : this->buttons()) {
            buttons += button->text().remove('&') + "   ";
        }
        QApplication::clipboard()->setText(line + windowTitle() + "\n" + line + text() + "\n" + line +
                                           buttons + "\n" + line);
    }
};

QString text(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

// Files dragged onto the window: the first local file of a drop is opened once the drop is over.
class FileDrops : public QObject {
public:
    FileDrops(QWidget& window, std::function<void(const std::string&)> open)
        : QObject(&window), m_open(std::move(open)) {
        window.setAcceptDrops(true);
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
            return QObject::eventFilter(watched, event);
        }
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = firstFile(drop->mimeData());
        if (path.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        if (type == QEvent::Drop) {
            // The picker an archive brings up must not run inside the drop.
            QTimer::singleShot(0, this, [this, path] { m_open(path.toLocal8Bit().toStdString()); });
        }
        return true;
    }

private:
    static QString firstFile(const QMimeData* data) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                return url.toLocalFile();
            }
        }
        return {};
    }

    std::function<void(const std::string&)> m_open;
};

// The folder path names under base, each name matched in any letter case as the game's folders
// are spelled; empty when one is missing.
QString folderIgnoringCase(const QString& base, const QStringList& path) {
    QDir dir(base);
    for (const QString& name : path) {
        const QStringList found = dir.entryList({name}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (found.isEmpty() || !dir.cd(found.first())) {
            return {};
        }
    }
    return dir.absolutePath();
}

} // namespace

void showMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    CopyableMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
}

QtShell::QtShell()
    : m_client(new QWidget(&m_window)), m_list(new QListWidget(m_client)),
      m_renderArea(new RenderArea(m_client)) {
    m_window.setWindowTitle("Kestrin");
    QMenu* file = m_window.menuBar()->addMenu("&File");
    QAction* open = file->addAction("&Open");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    file->addSeparator();
    QAction* exit = file->addAction("&Exit");
    QMenu* help = m_window.menuBar()->addMenu("&Help");
    QAction* about = help->addAction("&About");
    about->setShortcut(QKeySequence(Qt::Key_F1));

    auto* layout = new QHBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_list->setFixedWidth(kListWidth);
    // Each click turns a row on or off, as in the Windows program's list.
    m_list->setSelectionMode(QAbstractItemView::MultiSelection);
    layout->addWidget(m_list);
    layout->addWidget(m_renderArea, 1);
    m_window.setCentralWidget(m_client);
    m_status = new QLabel(&m_window);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_window.statusBar()->addWidget(m_status, 1);
    auto* keys = new QLabel("F: frame the model   Home: starting view", &m_window);
    keys->setContentsMargins(0, 0, 8, 0);
    m_window.statusBar()->addPermanentWidget(keys);
    m_window.statusBar()->setSizeGripEnabled(false);
    m_window.resize(1024, 768);
    new FileDrops(m_window, [this](const std::string& path) {
        guarded([this, path] { m_application->openFile(path); });
    });

    QObject::connect(open, &QAction::triggered, [this] { guarded([this] { m_application->openModel(); }); });
    QObject::connect(exit, &QAction::triggered, [] { QApplication::quit(); });
    QObject::connect(about, &QAction::triggered, [this] { showAbout(Application::kAboutText); });
    QObject::connect(m_list, &QListWidget::itemSelectionChanged,
                     [this] { guarded([this] { m_application->selectionChanged(); }); });
}

QtShell::~QtShell() {
    // The application is gone before the shell: events sent while the widgets go must not reach it.
    attach(nullptr);
}

void QtShell::attach(Application* application) {
    m_application = application;
    m_renderArea->attach(application, [this](const std::function<void()>& handler) { guarded(handler); });
}

// Errors do not travel through Qt's frames: the loop ends and raises them itself.
void QtShell::guarded(const std::function<void()>& handler) {
    if (m_application == nullptr || m_pending) {
        return;
    }
    try {
        handler();
    } catch (...) {
        m_pending = std::current_exception();
        QApplication::exit(0);
    }
}

void* QtShell::renderWindowHandle() {
    return static_cast<GlSurface*>(&m_renderArea->surface());
}

void QtShell::mainClientSize(int& width, int& height) {
    width = m_client->width();
    height = m_client->height();
}

void QtShell::renderClientSize(int& width, int& height) {
    width = m_renderArea->width();
    height = m_renderArea->height();
}

void QtShell::showMainWindow() {
    m_window.show();
}

void QtShell::runEventLoop() {
    QApplication::exec();
    if (m_pending) {
        std::rethrow_exception(std::exchange(m_pending, nullptr));
    }
}

void QtShell::clearMeshList() {
    m_list->clear();
}

void QtShell::addMeshListRow(const std::string& row) {
    m_list->addItem(text(row));
}

std::vector<bool> QtShell::meshListSelection() {
    std::vector<bool> selected;
    for (int i = 0; i < m_list->count(); ++i) {
        selected.push_back(m_list->item(i)->isSelected());
    }
    return selected;
}

void QtShell::invalidateRenderWindow(bool paintNow) {
    if (paintNow) {
        m_renderArea->repaint();
    } else {
        m_renderArea->update();
    }
}

// Qt keeps the pointer's events with the widget a button went down in until it comes up.
void QtShell::beginDrag() {
    m_renderArea->setFocus();
}

void QtShell::endDrag() {}

bool QtShell::askModelFile(std::string& path, std::string& extension) {
    QFileDialog dialog(&m_window, "Open");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({kModelFilter, kAllFilter});
    // Every file reaches the filter below, which does the choosing: the dialog gives its file list
    // the patterns it read from the chosen filter, which are taken back each time.
    dialog.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
    auto* filter = new ModelFileFilter(dialog);
    dialog.setProxyModel(filter);
    const auto showEveryFile = [filter] {
        if (auto* files = qobject_cast<QFileSystemModel*>(filter->sourceModel())) {
            files->setNameFilters({});
        }
        filter->invalidate();
    };
    showEveryFile();
    QObject::connect(&dialog, &QFileDialog::filterSelected, showEveryFile);
    // Set once the filter is in place: the view's folder is an index of the filter's.
    dialog.setDirectory(openFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    path = dialog.selectedFiles().first().toStdString();
    m_lastFolder = QFileInfo(dialog.selectedFiles().first()).absolutePath();
    const std::string name = QFileInfo(dialog.selectedFiles().first()).fileName().toStdString();
    const std::size_t dot = name.rfind('.');
    extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    return true;
}

int QtShell::pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) {
    EntryPicker picker(&m_window, entries);
    return picker.pick();
}

bool QtShell::askDataFolder(std::string& folder) {
    // The shell ends the folder it tried with a backslash, as Windows paths are written; here that
    // would be part of a name, which the dialog would offer to choose and then not find. It starts
    // in the folder when there is one, and offers no name.
    std::string tried = folder;
    while (!tried.empty() && tried.back() == '\\') {
        tried.pop_back();
    }
    QFileDialog dialog(&m_window, Application::kFolderPrompt);
    if (!tried.empty() && QFileInfo(text(tried)).isDir()) {
        dialog.setDirectory(text(tried));
    }
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    if (!dialog.selectedFiles().isEmpty()) {
        folder = dialog.selectedFiles().first().toStdString();
    }
    return true;
}

void QtShell::showError(const std::string& message) {
    showMessageBox(QMessageBox::Critical, "Error", text(message));
}

void QtShell::showMessage(const std::string& message) {
    showMessageBox(QMessageBox::NoIcon, "Error", text(message));
}

void QtShell::showAbout(const std::string& message) {
    showMessageBox(QMessageBox::NoIcon, "About", text(message));
}

void QtShell::modelShown(const std::string& name, const Model& model, FileManager& files) {
    // A file the check cannot read leaves the line saying less; the model is shown all the same.
    QString line = text(name);
    try {
        line = text(ModelSummary::describe(name, model, files));
    } catch (...) {
        line += ": the data folder could not be checked";
    }
    m_status->setText(line);
}

QString QtShell::openFolder() const {
    if (!m_lastFolder.isEmpty() || m_application == nullptr) {
        return m_lastFolder;
    }
    std::string data = m_application->getDataFolder();
    while (!data.empty() && data.back() == '\\') {
        data.pop_back();
    }
    if (data.empty()) {
        return {};
    }
    const QString models = folderIgnoringCase(text(data), {"Data", "Art", "Models"});
    return models.isEmpty() ? text(data) : models;
}
