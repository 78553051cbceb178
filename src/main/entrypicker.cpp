#include "main/entrypicker.h"

#include "main/entrylist.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

EntryPicker::EntryPicker(QWidget* parent, const std::vector<std::pair<std::size_t, std::string>>& entries)
    : QDialog(parent), m_entries(new EntryList(entries, this)), m_filter(new QLineEdit(this)),
      m_list(new QListView(this)) {
    setWindowTitle("Select a file");
    m_filter->setPlaceholderText("Filter by name");
    m_filter->setClearButtonEnabled(true);
    m_list->setModel(m_entries);
    // Rows of one height let the view lay out tens of thousands of them without measuring each.
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    setTabOrder(m_filter, m_list);
    resize(620, 380);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { pickRow(selectedRow()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { pickRow(index.row()); });
    connect(m_filter, &QLineEdit::textChanged, this, &EntryPicker::setFilter);
    m_filter->installEventFilter(this);
    m_list->installEventFilter(this);
    m_list->setFocus();
}

void EntryPicker::setFilter(const QString& text) {
    const int selected = selectedRow();
    const std::size_t entry = selected < 0 ? 0 : m_entries->entryIndex(selected);
    m_entries->setFilter(text);
    const int row = selected < 0 ? -1 : m_entries->rowOf(entry);
    if (row >= 0) {
        const QModelIndex index = m_entries->index(row);
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    }
}

int EntryPicker::shownCount() const {
    return m_entries->rowCount();
}

bool EntryPicker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        // The list keeps its first row current, unselected, until a key moves it: Return takes
        // the only row all the same.
        pickRow(shownCount() == 1 ? 0 : selectedRow());
        return true;
    }
    if (watched == m_list) {
        // Text typed in the list goes to the filter box, which keeps the keyboard from then on.
        const bool plain =
            (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
        if (plain && !key->text().isEmpty() && key->text().at(0).isPrint()) {
            m_filter->setFocus();
            QCoreApplication::sendEvent(m_filter, key);
            return true;
        }
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QCoreApplication::sendEvent(m_list, key);
        return true;
    default:
        return false;
    }
}

void EntryPicker::pickRow(int row) {
    if (row < 0 || row >= shownCount()) {
        return; // OK with nothing chosen does nothing
    }
    m_picked = static_cast<int>(m_entries->entryIndex(row));
    accept();
}

int EntryPicker::selectedRow() const {
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

int EntryPicker::pick() {
    m_picked = -1;
    return exec() == QDialog::Accepted ? m_picked : -1;
}
