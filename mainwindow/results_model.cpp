#include "mainwindow/results_model.h"

#include <iterator>

namespace orvane {

ResultsModel::ResultsModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const ResultRow &r = m_rows[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case NameColumn:
        return QString::fromStdString(r.FileName);
    case PathColumn:
        return QString::fromStdString(r.FolderPath);
    case SizeColumn:
        return QString::fromStdString(r.SizeText);
    case TypeColumn:
        return QString::fromStdString(r.TypeText);
    case DateColumn:
        return QString::fromStdString(r.DateText);
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const titles[ColumnCount] = { "Name", "Path", "Size", "Type", "Date" };
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(titles[section]);
}

void ResultsModel::appendRows(std::vector<ResultRow> rows)
{
    if (rows.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
}

void ResultsModel::clear()
{
    beginResetModel();
    std::deque<ResultRow>().swap(m_rows);
    endResetModel();
}

int ResultsModel::columnWidthTwips(int column)
{
    static const int widths[ColumnCount] = { 1200, 3000, 1000, 1000, 1000 };
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

} // namespace orvane
