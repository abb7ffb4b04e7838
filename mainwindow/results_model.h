#pragma once

// The rows of the results list: one per listed file, in the order added, never sorted.
// Rows come in batches so a run with 100,000 hits costs one insertion per batch, not one
// repaint per file.

#include "run/batch_run.h"

#include <QAbstractTableModel>

#include <deque>
#include <vector>

namespace orvane {

class ResultsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, PathColumn, SizeColumn, TypeColumn, DateColumn, ColumnCount };

    explicit ResultsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void appendRows(std::vector<ResultRow> rows);
    void clear();
    const ResultRow &row(int index) const { return m_rows.at(static_cast<size_t>(index)); }

    // Column widths in twips: Name 1200, Path 3000, Size, Type and Date 1000 each.
    static int columnWidthTwips(int column);

private:
    // A deque grows without moving what it holds: a vector's regrowth would move every row
    // at once and stall the window once the list is long.
    std::deque<ResultRow> m_rows;
};

} // namespace orvane
