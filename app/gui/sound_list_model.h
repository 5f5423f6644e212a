// The rows of a SoundList as a Qt list model, for the window's list view. The list stays the
// only holder of the rows and their states; the model follows its changes as the list reports
// them and hands each row's texts and states to the view through roles.
#pragma once

#include <QAbstractListModel>
#include <vector>

#include "soundlist/sound_list.h"

namespace brisca {

class SoundListModel : public QAbstractListModel, private SoundListListener {
  Q_OBJECT

 public:
  enum Role : int {
    kIdRole = Qt::UserRole,  // the row's id (qulonglong)
    kNameRole,               // the file name
    kBlocksRole,             // the blocks the file holds
    kSelectedRole,           // waiting to be sent
    kSendingRole,            // being sent now
    kSentRole,               // sent whole
    kFrameRole,              // the animation frame (0..3) of the row being sent
    kPathRole,               // folder and name, as the list keeps them (std::string bytes)
  };

  // Shows `list`'s rows and follows its changes from now on (the list's view is this model).
  explicit SoundListModel(SoundList& list, QObject* parent = nullptr);
  ~SoundListModel() override;

  SoundList& list() const { return list_; }
  // The list's position of the row at `index`, -1 when the list no longer has it.
  int position(const QModelIndex& index) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void row_inserted(int index) override;
  void row_removed(int index) override;
  void row_changed(int index) override;
  void rows_changed() override;
  void follow_order();

  SoundList& list_;
  // The id of each row in the order the view knows them. The list tells each change after
  // making it, so the model keeps its own order until it has told the view.
  std::vector<RowId> ids_;
};

}  // namespace brisca
