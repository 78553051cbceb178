#include "main/entrypicker.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

EntryPicker::EntryPicker(QWidget* parent, const std::vector<std::pair<std::size_t, std::string>>& entries)
    : QDialog(parent), m_list(new QListWidget(this)) {
    setWindowTitle("Select a file");
    // As the Windows list box sorts: by name, ignoring case (QListWidget's own sorting heeds case).
    std::vector<std::pair<QString, std::size_t>> rows;
    for (const auto& [index, name] : entries) {
        rows.emplace_back(QString::fromStdString(name), index);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    for (const auto& [name, index] : rows) {
        auto* row = new QListWidgetItem(name, m_list);
        row->setData(Qt::UserRole, static_cast<qulonglong>(index));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(620, 380);
    connect(buttons, &QDialogButtonBox::accepted, this, &EntryPicker::pickCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &EntryPicker::pickCurrent);
    m_list->setFocus();
}

void EntryPicker::pickCurrent() {
    const QListWidgetItem* row = m_list->currentItem();
    if (row == nullptr || !row->isSelected()) {
        return; // OK with nothing chosen does nothing
    }
    m_picked = static_cast<int>(row->data(Qt::UserRole).toULongLong());
    accept();
}

int EntryPicker::pick() {
    m_picked = -1;
    return exec() == QDialog::Accepted ? m_picked : -1;
}
