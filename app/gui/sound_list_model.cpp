#include "app/gui/sound_list_model.h"

#include <QFile>
#include <unordered_map>

namespace brisca {
namespace {

QString shown(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

}  // namespace

SoundListModel::SoundListModel(SoundList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {
  ids_.reserve(static_cast<std::size_t>(list.count()));
  for (int index = 0; index < list.count(); ++index) ids_.push_back(list.row(index).id);
  list_.set_view(this);
}

SoundListModel::~SoundListModel() {
  list_.set_view(nullptr);
}

int SoundListModel::position(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= static_cast<int>(ids_.size())) return -1;
  const RowId id = ids_[static_cast<std::size_t>(index.row())];
  // The same place in the list, except while a change is being told.
  if (index.row() < list_.count() && list_.row(index.row()).id == id) return index.row();
  return list_.index_of(id);
}

int SoundListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

Qt::ItemFlags SoundListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant SoundListModel::data(const QModelIndex& index, int role) const {
  const int at = position(index);
  if (at < 0) return {};
  const Row& row = list_.row(at);
  switch (role) {
    case Qt::DisplayRole:
      return shown(row_label(row));
    case kIdRole:
      return QVariant::fromValue<qulonglong>(row.id);
    case kNameRole:
      return shown(row.name);
    case kBlocksRole:
      return row.blocks;
    case kSelectedRole:
      return row.selected;
    case kSendingRole:
      return row.sending;
    case kSentRole:
      return row.sent;
    case kFrameRole:
      return list_.state().animation_counter & 3;
    case kPathRole:
      return QByteArray::fromStdString(list_.full_path(at));
    default:
      return {};
  }
}

void SoundListModel::row_inserted(int index) {
  if (index < 0 || index > static_cast<int>(ids_.size()) || index >= list_.count()) return;
  beginInsertRows(QModelIndex(), index, index);
  ids_.insert(ids_.begin() + index, list_.row(index).id);
  endInsertRows();
}

void SoundListModel::row_removed(int index) {
  if (index < 0 || index >= static_cast<int>(ids_.size())) return;
  beginRemoveRows(QModelIndex(), index, index);
  ids_.erase(ids_.begin() + index);
  endRemoveRows();
}

void SoundListModel::row_changed(int index) {
  if (index < 0 || index >= static_cast<int>(ids_.size())) return;
  emit dataChanged(this->index(index), this->index(index));
}

// Any row's state, or the order of all rows: a new order is a layout change that the view's
// current row and highlight follow.
void SoundListModel::rows_changed() {
  bool same_order = static_cast<int>(ids_.size()) == list_.count();
  for (int index = 0; same_order && index < list_.count(); ++index)
    same_order = ids_[static_cast<std::size_t>(index)] == list_.row(index).id;
  if (!same_order) follow_order();
  if (!ids_.empty()) emit dataChanged(index(0), index(static_cast<int>(ids_.size()) - 1));
}

void SoundListModel::follow_order() {
  std::unordered_map<RowId, int> now;
  for (int index = 0; index < list_.count(); ++index) now[list_.row(index).id] = index;
  bool same_rows = now.size() == ids_.size();
  for (std::size_t i = 0; same_rows && i < ids_.size(); ++i) same_rows = now.count(ids_[i]) != 0;
  std::vector<RowId> order;
  order.reserve(static_cast<std::size_t>(list_.count()));
  for (int index = 0; index < list_.count(); ++index) order.push_back(list_.row(index).id);
  if (!same_rows) {  // not a new order of the same rows: shown afresh
    beginResetModel();
    ids_ = std::move(order);
    endResetModel();
    return;
  }
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before)
    after.push_back(index(now.at(ids_[static_cast<std::size_t>(old.row())])));
  ids_ = std::move(order);
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace brisca
