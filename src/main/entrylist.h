#pragma once

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The rows of the "Select a file" picker: an archive's entries sorted by name as the Windows list
// box sorts them (ignoring case), of which those that contain a filter text are shown.
class EntryList : public QAbstractListModel {
public:
    explicit EntryList(const std::vector<std::pair<std::size_t, std::string>>& entries, QObject* parent);

    // Shows the entries whose names contain text, ignoring case; all of them for an empty text.
    void setFilter(const QString& text);
    // The archive index of the entry shown in row.
    std::size_t entryIndex(int row) const;
    // The row that shows the entry of that archive index, or -1.
    int rowOf(std::size_t index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::pair<QString, std::size_t>> m_entries;
    std::vector<int> m_shown; // positions in m_entries, in order
    QString m_filter;
};
