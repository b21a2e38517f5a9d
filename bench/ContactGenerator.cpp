#include "ContactGenerator.h"

#include "shell/RecordFile.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

struct Part {
    const char16_t *kanji;
    const char16_t *kana;
};

const Part kFamily[] = {
    {u"佐藤", u"さとう"}, {u"鈴木", u"すずき"}, {u"高橋", u"たかはし"}, {u"田中", u"たなか"},
    {u"伊藤", u"いとう"}, {u"渡辺", u"わたなべ"}, {u"山本", u"やまもと"}, {u"中村", u"なかむら"},
    {u"小林", u"こばやし"}, {u"加藤", u"かとう"}, {u"吉田", u"よしだ"}, {u"山田", u"やまだ"},
    {u"佐々木", u"ささき"}, {u"山口", u"やまぐち"}, {u"松本", u"まつもと"}, {u"井上", u"いのうえ"},
    {u"木村", u"きむら"}, {u"林", u"はやし"}, {u"斎藤", u"さいとう"}, {u"清水", u"しみず"},
    {u"長谷川", u"はせがわ"}, {u"青木", u"あおき"}, {u"髙橋", u"たかはし"}, {u"﨑山", u"さきやま"}};

const Part kGiven[] = {
    {u"太郎", u"たろう"}, {u"花子", u"はなこ"}, {u"健二", u"けんじ"}, {u"遥", u"はるか"},
    {u"翔太", u"しょうた"}, {u"美咲", u"みさき"}, {u"大輔", u"だいすけ"}, {u"さくら", u"さくら"},
    {u"拓海", u"たくみ"}, {u"陽菜", u"ひな"}, {u"直樹", u"なおき"}, {u"結衣", u"ゆい"},
    {u"誠", u"まこと"}, {u"愛", u"あい"}, {u"亮介", u"りょうすけ"}, {u"真由美", u"まゆみ"}};

const char16_t *const kCompanies[] = {u"株式会社テッセ", u"ｶﾌﾞｼｷｶﾞｲｼｬ ﾐﾗｲ", u"合同会社青空",
                                      u"東都システム株式会社", u"㈱北斗製作所", u"国立研究開発法人 未来技術研究所"};
const char16_t *const kStations[] = {u"東京", u"新宿", u"渋谷", u"梅田", u"博多", u"札幌", u"名古屋"};
const char16_t *const kEvents[] = {u"技術交流会", u"IT 勉強会 2026", u"異業種交流パーティー", u"展示会～春～"};
const char16_t *const kPlaces[] = {u"東京国際フォーラム", u"幕張メッセ", u"大阪南港ATC", u"パシフィコ横浜"};

QString s(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QString fit(QString text, int field)
{
    const int max = std::max(1, [&] {
        static const int kMax[20] = {11, 18, 44, 20, 20, 30, 11, 100, 11, 22, 18, 44, 11, 44, 44, 44, 15, 11, 15, 33};
        return kMax[field];
    }());
    return text.left(max);
}

} // namespace

QList<ContactRecord> generateContacts(int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    QList<ContactRecord> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const Part &family = kFamily[rng.bounded(int(std::size(kFamily)))];
        const Part &given = kGiven[rng.bounded(int(std::size(kGiven)))];
        ContactRecord r = emptyContact();
        const QString serial = QString::number(i);
        r[0] = fit(s(family.kanji) + u'　' + s(given.kanji) + serial, 0);
        r[9] = fit(s(family.kana) + u' ' + s(given.kana) + serial, 9);
        r[1] = QStringLiteral("03-%1-%2").arg(rng.bounded(1000, 9999)).arg(rng.bounded(1000, 9999));
        r[2] = fit(QStringLiteral("user%1.%2@example.co.jp").arg(i).arg(rng.bounded(100000)), 2);
        r[3] = fit(s(kCompanies[rng.bounded(int(std::size(kCompanies)))]), 3);
        r[4] = fit(QStringLiteral("第%1開発部 企画課").arg(rng.bounded(1, 9)), 4);
        r[5] = fit(QStringLiteral("東京都千代田区丸の内%1丁目%2番%3号 ビル%4階")
                       .arg(rng.bounded(1, 9)).arg(rng.bounded(1, 30)).arg(rng.bounded(1, 20)).arg(rng.bounded(1, 40)), 5);
        r[6] = fit(s(kStations[rng.bounded(int(std::size(kStations)))]), 6);
        // Some self-introductions at their full length of 100.
        QString appeal = QStringLiteral("はじめまして。%1の仕事をしています。趣味は登山と写真～週末はよく山に出かけます。")
                             .arg(s(kCompanies[rng.bounded(int(std::size(kCompanies)))]));
        while (i % 7 == 0 && appeal.size() < 100)
            appeal += QStringLiteral("どうぞよろしくお願いいたします。");
        r[7] = fit(appeal, 7);
        r[8] = fit(QStringLiteral("課長代理"), 8);
        r[10] = QStringLiteral("090-%1-%2").arg(rng.bounded(1000, 9999)).arg(rng.bounded(1000, 9999));
        r[11] = fit(QStringLiteral("mobile%1@example.ne.jp").arg(i), 11);
        r[12] = QStringLiteral("03-555-%1").arg(rng.bounded(1000, 9999));
        r[13] = fit(QStringLiteral("https://www.example.co.jp/staff/%1/profile/index.html").arg(i), 13);
        r[14] = fit(QStringLiteral("photo/%1.jpg").arg(i), 14);
        r[15] = fit(QStringLiteral("https://maps.example.jp/?q=%1").arg(i), 15);
        r[16] = fit(s(kEvents[rng.bounded(int(std::size(kEvents)))]), 16);
        r[17] = QStringLiteral("2026/%1/%2").arg(rng.bounded(1, 12)).arg(rng.bounded(1, 28));
        r[18] = fit(s(kPlaces[rng.bounded(int(std::size(kPlaces)))]), 18);
        r[19] = fit(QStringLiteral("名刺交換済み。次回は①②③の件で連絡予定"), 19);
        out.append(r);
    }
    std::stable_sort(out.begin(), out.end(), [](const ContactRecord &a, const ContactRecord &b) {
        const int byReading = compareOrdinal(sortForm(a[9]), sortForm(b[9]));
        if (byReading != 0)
            return byReading < 0;
        return compareOrdinal(sortForm(a[0]), sortForm(b[0])) < 0;
    });
    return out;
}

void writeContactFile(const QString &path, const QList<ContactRecord> &contacts)
{
    writeRecordsAtomically(path, contacts);
}
