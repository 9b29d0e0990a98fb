#pragma once
// The rules of the channel configuration dialog, apart from its widgets: a working copy of the
// channels that the dialog adds to, removes from and edits, and the checks on its fields.

#include "ChannelFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tessora {

// One channel of the dialog's list.
struct ChannelEntry {
    LoadedChannel Channel;  // as stored, with its periodic list's lines
    QString Memo;           // lives while the program runs; the channel file has no room for it
    int Origin = -1;        // the running channel's index when the dialog opened; -1 when added

    bool operator==(const ChannelEntry& other) const {
        return Channel.Config == other.Channel.Config && Memo == other.Memo && Origin == other.Origin;
    }
};

// What the three edit fields hold.
struct ChannelFields {
    QString Title;
    int SoundCard = -1;  // the position chosen in the sound card list, -1 for none
    QString Memo;
};

enum class ChannelFieldProblem { None, NoTitle, NoSoundCard, TitleTooLong, NotGbk };

// The title may carry blanks around it, but not only blanks; it must fit its 51-byte field.
ChannelFieldProblem CheckChannelFields(const ChannelFields& fields);
QString ChannelFieldMessage(ChannelFieldProblem problem);

class TChannelWorkList {
public:
    // Called when selecting another entry stores the fields into a running channel: the running
    // channel takes them at once, whatever becomes of the dialog.
    std::function<void(const ChannelEntry& entry)> OnStored;

    // The dialog opens: the running channels, in channel order; nothing is being edited.
    void Reset(std::vector<ChannelEntry> channels);

    const std::vector<ChannelEntry>& Entries() const { return entries_; }
    QStringList Titles() const;
    int EditIndex() const { return editIndex_; }

    // Selecting entry `index`: the fields are first stored into the entry being edited. On a
    // problem nothing is stored and the edited entry stays; otherwise `index` is edited next and
    // FieldsOf(index) is what the fields show.
    ChannelFieldProblem Select(int index, const ChannelFields& fields);
    ChannelFields FieldsOf(int index) const;

    // Appends a new channel made from the fields (the player's defaults for the rest); what is
    // being edited stays as it was.
    ChannelFieldProblem Add(const ChannelFields& fields);

    // Takes entry `index` out of the list; nothing is being edited afterwards.
    void Remove(int index);

private:
    std::vector<ChannelEntry> entries_;
    int editIndex_ = -1;
};

}  // namespace tessora
