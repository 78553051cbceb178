#include "main/entrylist.h"

#include <algorithm>

EntryList::EntryList(const std::vector<std::pair<std::size_t, std::string>>& entries, QObject* parent)
    : QAbstractListModel(parent) {
    m_entries.reserve(entries.size());
    for (const auto& [index, name] : entries) {
        m_entries.emplace_back(QString::fromStdString(name), index);
    }
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const auto& a, const auto& b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    m_shown.resize(m_entries.size());
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        m_shown[i] = static_cast<int>(i);
    }
}

void EntryList::setFilter(const QString& text) {
    if (text == m_filter) {
        return;
    }
    std::vector<int> shown;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first.contains(text, Qt::CaseInsensitive)) {
            shown.push_back(static_cast<int>(i));
        }
    }
    beginResetModel();
    m_shown = std::move(shown);
    m_filter = text;
    endResetModel();
}

std::size_t EntryList::entryIndex(int row) const {
    return m_entries[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(row)])].second;
}

int EntryList::rowOf(std::size_t index) const {
    for (std::size_t row = 0; row < m_shown.size(); ++row) {
        if (m_entries[static_cast<std::size_t>(m_shown[row])].second == index) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

int EntryList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

QVariant EntryList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    return m_entries[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(index.row())])].first;
}
