// The stored host list: strict decoding, the exact written form, and keeping unreadable bytes.
#include "monitoring/HostStore.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

namespace {
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSettings();
        for (const QString &f : preservedCopies())
            QFile::remove(f);
    }

    static QByteArray hostJson(const QString &extra = QString()) {
        return QStringLiteral(R"({"address":"http://a","string":"A","isFavorite":false,)"
                              R"("hasMenuBarItem":false,"categories":[],"isActive":true%1})")
            .arg(extra)
            .toUtf8();
    }

    static QStringList preservedCopies() {
        QDir folder(Settings::folder());
        QStringList paths;
        for (const QString &name :
             folder.entryList({QStringLiteral("Tarvik-unreadable-hosts-*")}, QDir::Files))
            paths << folder.filePath(name);
        return paths;
    }
};

TEST_F(StoreTest, MissingKeyAndEmptyArrayBothGiveAnEmptyList) {
    EXPECT_EQ(HostStore::read().status, HostStore::Status::Missing);
    EXPECT_FALSE(HostStore::readStoredHosts());

    Settings::setHostsData("[]");
    const auto read = HostStore::read();
    EXPECT_EQ(read.status, HostStore::Status::Ok);
    EXPECT_TRUE(read.hosts.empty());
}

TEST_F(StoreTest, OneBadElementDiscardsTheWholeDocument) {
    const QList<QByteArray> bad = {
        "not json",
        "{}",
        "[1]",
        "[" + hostJson() + ",{\"string\":\"B\"}]",
        "[" + hostJson().replace("\"isActive\":true", "\"isActive\":null") + "]",
        "[" + hostJson().replace(",\"isActive\":true", "") + "]",
        "[" + hostJson().replace("\"isActive\":true", "\"isActive\":1") + "]",
        "[" + hostJson().replace("\"categories\":[]", "\"categories\":[3]") + "]",
        "[" + hostJson().replace("\"address\":\"http://a\"", "\"address\":7") + "]",
        "[" + hostJson(QStringLiteral(",\"isReachable\":\"yes\"")) + "]",
        "[" + hostJson(QStringLiteral(",\"lastRequestDuration\":\"1\"")) + "]",
        "[" + hostJson(QStringLiteral(",\"lastRequestDuration\":1e400")) + "]",
    };
    for (const QByteArray &document : bad) {
        QString why;
        EXPECT_FALSE(HostStore::decode(document, &why)) << document.constData();
        EXPECT_FALSE(why.isEmpty()) << document.constData();
    }
}

TEST_F(StoreTest, OptionalFieldsAcceptNullAndMissing) {
    const auto hosts = HostStore::decode(
        "[" +
        hostJson(QStringLiteral(
            R"(,"isReachable":null,"abbreviation":null,"lastRequestDuration":null)")) +
        "," + hostJson(QStringLiteral(R"(,"isReachable":false,"abbreviation":"x")")) + "]");
    ASSERT_TRUE(hosts);
    ASSERT_EQ(hosts->size(), 2u);
    EXPECT_FALSE(hosts->at(0)->isReachable());
    EXPECT_FALSE(hosts->at(0)->abbreviation());
    EXPECT_FALSE(hosts->at(0)->lastRequestDuration());
    EXPECT_EQ(hosts->at(1)->isReachable(), std::optional<bool>(false));
    EXPECT_EQ(hosts->at(1)->abbreviation(), std::optional<QString>(QStringLiteral("x")));
}

TEST_F(StoreTest, WritesAbsentOptionalsByLeavingTheirKeysOut) {
    auto fresh = std::make_shared<Host>(QStringLiteral("example.com"));
    auto checked = std::make_shared<Host>(QStringLiteral("http://b"));
    checked->setIsReachable(false);
    checked->setAbbreviation(QStringLiteral("B"));
    checked->setLastRequestDuration(0.1 + 0.2);
    checked->restoreIsActive(false);
    ASSERT_TRUE(HostStore::write({fresh, checked}));

    const QByteArray stored = Settings::hostsData().value();
    EXPECT_EQ(stored.left(stored.indexOf("},") + 1),
              QByteArray(R"([{"address":"example.com","categories":[],"hasMenuBarItem":false,)"
                         R"("isActive":true,"isFavorite":false,"string":"example.com"})"));
    const QJsonObject second = QJsonDocument::fromJson(stored).array().at(1).toObject();
    EXPECT_EQ(second.value(QStringLiteral("isReachable")), QJsonValue(false));
    EXPECT_EQ(second.value(QStringLiteral("abbreviation")), QJsonValue(QStringLiteral("B")));
    EXPECT_EQ(second.value(QStringLiteral("isActive")), QJsonValue(false));
    EXPECT_NE(stored.indexOf("0.30000000000000004"), -1) << "durations must read back exactly";

    const auto back = HostStore::readStoredHosts();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->at(1)->lastRequestDuration(), std::optional<double>(0.1 + 0.2));
}

TEST_F(StoreTest, UnknownKeysAreDroppedAndStoredOnlyFieldsSurviveRoundTrips) {
    Settings::setHostsData("[" +
                           hostJson(QStringLiteral(R"(,"colour":"blue")"))
                               .replace("\"isFavorite\":false", "\"isFavorite\":true")
                               .replace("\"categories\":[]", "\"categories\":[\"work\",\"eu\"]") +
                           "]");
    for (int cycle = 0; cycle < 3; ++cycle) {
        const auto hosts = HostStore::readStoredHosts();
        ASSERT_TRUE(hosts);
        ASSERT_TRUE(HostStore::write(*hosts));
    }
    const QByteArray stored = Settings::hostsData().value();
    EXPECT_EQ(stored.indexOf("colour"), -1);
    const QJsonObject o = QJsonDocument::fromJson(stored).array().at(0).toObject();
    EXPECT_EQ(o.value(QStringLiteral("isFavorite")), QJsonValue(true));
    EXPECT_EQ(o.value(QStringLiteral("categories")).toArray(),
              QJsonArray({QStringLiteral("work"), QStringLiteral("eu")}));
}

TEST_F(StoreTest, AListThatCannotBeEncodedLeavesThePreviousValue) {
    Settings::setHostsData("[]");
    auto host = std::make_shared<Host>(QStringLiteral("http://a"));
    host->setLastRequestDuration(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(HostStore::encode({host}));
    EXPECT_FALSE(HostStore::write({host}));
    EXPECT_EQ(Settings::hostsData(), std::optional<QByteArray>("[]"));
}

TEST_F(StoreTest, UnreadableBytesAreKeptOnceBesideTheSettings) {
    const QByteArray garbage = "[{\"string\": truncated";
    Settings::setHostsData(garbage);

    const auto first = HostStore::read();
    EXPECT_EQ(first.status, HostStore::Status::Unreadable);
    EXPECT_TRUE(first.hosts.empty());
    ASSERT_FALSE(first.preservedCopy.isEmpty());
    QFile copy(first.preservedCopy);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), garbage);
    EXPECT_EQ(Settings::hostsData(), std::optional<QByteArray>(garbage)) << "store untouched";

    EXPECT_EQ(HostStore::read().preservedCopy, first.preservedCopy);
    EXPECT_EQ(preservedCopies().size(), 1);

    Settings::setHostsData("also not json");
    EXPECT_NE(HostStore::read().preservedCopy, first.preservedCopy);
    EXPECT_EQ(preservedCopies().size(), 2);
}

TEST(SettingsTest, FrequencyIsParsedFromText) {
    resetSettings();
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                  QStringLiteral("Tarvik"));
    EXPECT_EQ(Settings::pingFrequency(), 60.0);
    EXPECT_FALSE(Settings::wholePingFrequency());

    const QList<std::pair<QString, double>> cases = {
        {QStringLiteral("300"), 300.0}, {QStringLiteral(" 90.5 "), 90.5},
        {QStringLiteral("abc"), 60.0},  {QStringLiteral("nan"), 60.0},
        {QStringLiteral("inf"), 60.0},  {QStringLiteral("true"), 60.0}};
    for (const auto &[text, expected] : cases) {
        raw.setValue(QStringLiteral("pingFrequency"), text);
        raw.sync();
        EXPECT_EQ(Settings::pingFrequency(), expected) << text.toStdString();
    }
    raw.setValue(QStringLiteral("pingFrequency"), QStringLiteral("90.5"));
    raw.sync();
    EXPECT_FALSE(Settings::wholePingFrequency());
    ASSERT_TRUE(Settings::setPingFrequency(900));
    EXPECT_EQ(Settings::wholePingFrequency(), std::optional<qint64>(900));
}
} // namespace
