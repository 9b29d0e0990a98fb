#include "CalendarImport.h"

#include "Command.h"

#include <libical/ical.h>

#include <QSet>

#include <memory>

namespace tessora::cli {

namespace {

constexpr int kYearsAhead = 2;
// A rule that recurs daily for two years is already 730 days; nothing sensible goes past this.
constexpr int kMostOccurrences = 1000;

struct ComponentFree {
    void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
struct IteratorFree {
    void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};

QDate DateOf(const icaltimetype& t) { return QDate(t.year, t.month, t.day); }

// A text fit for one field of a rule line.
QString OneField(const char* text) {
    QString s = QString::fromUtf8(text ? text : "");
    s.replace('\t', ' ').replace('\r', ' ').replace('\n', ' ');
    return s.trimmed();
}

// The last day of the event: DTEND is the day after it; a DTEND on DTSTART itself, as some feeds
// write, means that one day. Nothing when DTEND is before DTSTART.
std::optional<QDate> LastDay(icalcomponent* event, const QDate& first, QString* why) {
    if (icalproperty* end = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        const icaltimetype t = icalproperty_get_dtend(end);
        if (!icaltime_is_date(t)) {
            *why = QStringLiteral("DTEND has a time of day");
            return std::nullopt;
        }
        const QDate after = DateOf(t);
        if (after < first) {
            *why = QStringLiteral("DTEND is before DTSTART");
            return std::nullopt;
        }
        return after == first ? first : after.addDays(-1);
    }
    if (icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        const int days = icaldurationtype_as_int(icalcomponent_get_duration(event)) / 86400;
        return first.addDays(std::max(days, 1) - 1);
    }
    return first;
}

}  // namespace

CalendarImport ImportICalendar(const QByteArray& ics, const QString& target, const QString& kind, const QDate& today) {
    icalerror_set_errors_are_fatal(0);
    std::unique_ptr<icalcomponent, ComponentFree> root(icalparser_parse_string(ics.constData()));
    if (!root) throw CliError(QStringLiteral("not an iCalendar file (no BEGIN:VCALENDAR)"));
    CalendarImport result;
    const QDate horizon = today.addYears(kYearsAhead);
    const auto add = [&](const QString& uid, const QString& summary, const QDate& from, const QDate& to,
                         const QString& occurrence) {
        ImportedRule imported;
        imported.Uid = uid;
        imported.Comment = QStringLiteral("# UID ") + uid + occurrence;
        CalendarRule& rule = imported.Rule;
        rule.Kind = kind;
        rule.From = from;
        rule.To = to;
        rule.AllChannels = true;
        rule.TargetText = target;
        rule.Target = target == kSilentTarget ? CalendarTarget::Silent
                      : target == kBaseTarget ? CalendarTarget::Base
                                              : CalendarTarget::List;
        rule.Label = summary;
        result.Rules.push_back(std::move(imported));
    };
    // A feed is a VCALENDAR; a lone VEVENT is taken as well.
    std::vector<icalcomponent*> events;
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) events.push_back(root.get());
    for (icalcomponent* e = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT); e;
         e = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT))
        events.push_back(e);
    if (events.empty() && icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
        throw CliError(QStringLiteral("not an iCalendar file (no BEGIN:VCALENDAR)"));

    for (icalcomponent* event : events) {
        const QString uid = OneField(icalcomponent_get_uid(event));
        const QString summary = OneField(icalcomponent_get_summary(event));
        const icaltimetype start = icalcomponent_get_dtstart(event);
        if (icaltime_is_null_time(start)) {
            result.Refused.push_back({uid, summary, QStringLiteral("no DTSTART")});
            continue;
        }
        if (!icaltime_is_date(start)) {
            result.Refused.push_back({uid, summary, QStringLiteral("an event with a time of day, not a whole day: ") +
                                                        QString::fromUtf8(icaltime_as_ical_string(start))});
            continue;
        }
        const QDate first = DateOf(start);
        QString why;
        const std::optional<QDate> last = LastDay(event, first, &why);
        if (!last) {
            result.Refused.push_back({uid, summary, why});
            continue;
        }
        icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
        if (!rrule) {
            add(uid, summary, first, *last, QString());
            continue;
        }
        QSet<QDate> excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded.insert(DateOf(icalproperty_get_exdate(p)));
        const qint64 length = first.daysTo(*last);
        std::unique_ptr<icalrecur_iterator, IteratorFree> it(icalrecur_iterator_new(icalproperty_get_rrule(rrule), start));
        if (!it) {
            result.Refused.push_back({uid, summary, QStringLiteral("its RRULE cannot be read")});
            continue;
        }
        int count = 0;
        for (icaltimetype next = icalrecur_iterator_next(it.get()); !icaltime_is_null_time(next) && count < kMostOccurrences;
             next = icalrecur_iterator_next(it.get()), ++count) {
            const QDate from = DateOf(next);
            if (from > horizon) break;
            const QDate to = from.addDays(length);
            if (to < today || excluded.contains(from)) continue;
            add(uid, summary, from, to, QStringLiteral(" ") + from.toString(QStringLiteral("yyyy-MM-dd")));
        }
    }
    return result;
}

}  // namespace tessora::cli
