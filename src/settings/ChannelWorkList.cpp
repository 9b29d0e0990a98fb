#include "ChannelWorkList.h"

#include "GbkText.h"
#include "ItemCheck.h"

namespace tessora {

ChannelFieldProblem CheckChannelFields(const ChannelFields& fields) {
    if (fields.Title.trimmed().isEmpty()) return ChannelFieldProblem::NoTitle;
    if (fields.SoundCard < 0) return ChannelFieldProblem::NoSoundCard;
    if (!FitsGbk(fields.Title)) return ChannelFieldProblem::NotGbk;
    if (GbkLength(fields.Title) > static_cast<qsizetype>(ChannelLayout::TitleSize)) return ChannelFieldProblem::TitleTooLong;
    return ChannelFieldProblem::None;
}

QString ChannelFieldMessage(ChannelFieldProblem problem) {
    switch (problem) {
    case ChannelFieldProblem::None: return {};
    case ChannelFieldProblem::NoTitle: return QStringLiteral("请填写名称");
    case ChannelFieldProblem::NoSoundCard: return QStringLiteral("请选择声卡播放");
    case ChannelFieldProblem::TitleTooLong: return QStringLiteral("名称过长（最多51字节）");
    case ChannelFieldProblem::NotGbk: return ItemProblemText(ItemProblem::NotGbk).Chinese;
    }
    return {};
}

void TChannelWorkList::Reset(std::vector<ChannelEntry> channels) {
    entries_ = std::move(channels);
    editIndex_ = -1;
}

QStringList TChannelWorkList::Titles() const {
    QStringList titles;
    for (const ChannelEntry& entry : entries_) titles << entry.Channel.Config.Title;
    return titles;
}

ChannelFieldProblem TChannelWorkList::Select(int index, const ChannelFields& fields) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return ChannelFieldProblem::None;
    if (editIndex_ >= 0) {
        const ChannelFieldProblem problem = CheckChannelFields(fields);
        if (problem != ChannelFieldProblem::None) return problem;
        ChannelEntry& edited = entries_[editIndex_];
        edited.Channel.Config.Title = fields.Title;  // as typed, blanks kept
        edited.Channel.Config.SoundCard = fields.SoundCard;
        edited.Memo = fields.Memo;
        if (edited.Origin >= 0 && OnStored) OnStored(edited);
    }
    editIndex_ = index;
    return ChannelFieldProblem::None;
}

ChannelFields TChannelWorkList::FieldsOf(int index) const {
    const ChannelEntry& entry = entries_.at(index);
    return {entry.Channel.Config.Title, entry.Channel.Config.SoundCard, entry.Memo};
}

ChannelFieldProblem TChannelWorkList::Add(const ChannelFields& fields) {
    const ChannelFieldProblem problem = CheckChannelFields(fields);
    if (problem != ChannelFieldProblem::None) return problem;
    ChannelEntry entry;
    entry.Channel.Config.Title = fields.Title;
    entry.Channel.Config.SoundCard = fields.SoundCard;
    entry.Memo = fields.Memo;
    entries_.push_back(std::move(entry));
    return ChannelFieldProblem::None;
}

void TChannelWorkList::Remove(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    entries_.erase(entries_.begin() + index);
    editIndex_ = -1;
}

}  // namespace tessora
