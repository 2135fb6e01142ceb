// The profile store on real temporary folders: the file format, reading, listing, creating,
// saving, deleting, and the digits of EncodeHex64.
#include "EncodeHex64.h"
#include "ProfileConnection.h"
#include "ProfileFile.h"
#include "ProfileStore.h"
#include "ProfileTestFiles.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

const QByteArray kNewFile = "<profile>\r\n<server></server>\r\n<port>21</port>\r\n<username></username>\r\n"
                            "<password></password>\r\n<proxy></proxy>\r\n<comments></comments>\r\n"
                            "<keepalive>0</keepalive>\r\n<timeout>0</timeout>\r\n<active>1</active>\r\n</profile>\r\n";

QStringList describe(const QList<ProfileNode> &nodes, const QString &root)
{
    QStringList out;
    for (const ProfileNode &n : nodes)
        out << QString(n.key).remove(0, root.size()) + '|' + n.text + '|' + QString::number(n.image);
    return out;
}

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString root() const { return dir.path() + "/profiles/"; }

private slots:
    void init()
    {
        QDir(root()).removeRecursively();
        QVERIFY(QDir().mkpath(root()));
    }

    void newProfileIsTheElevenLinesAndPrivateUnderAGoodName()
    {
        ProfileStore store(root());
        QCOMPARE(store.createProfile(root(), "ftp.example.org"), ProfileStore::Created::Done);
        const QString path = root() + "ftp.example.org.dat";
        QCOMPARE(readBytes(path), kNewFile);
        QCOMPARE(unixMode(path), 0600);
        QVERIFY(store.secureRoot());
        QCOMPARE(unixMode(root().chopped(1)), 0700);

        // An existing file is left as it is.
        QVERIFY(writeBytes(path, "mine"));
        QCOMPARE(store.createProfile(root(), "ftp.example.org"), ProfileStore::Created::Exists);
        QCOMPARE(readBytes(path), QByteArray("mine"));

        // Names the store refuses or ignores.
        QCOMPARE(store.createProfile(root(), ""), ProfileStore::Created::Ignored);
        QCOMPARE(store.createProfile(root(), "Profiles"), ProfileStore::Created::Ignored);
        QCOMPARE(store.createProfile(root(), "profiles"), ProfileStore::Created::Done);
        for (const QString &bad : {QString("   "), QString("a/b"), QString("."), QString(".."), QString("tab\there")}) {
            QCOMPARE(store.createProfile(root(), bad), ProfileStore::Created::BadName);
            QCOMPARE(store.createFolder(root(), bad), ProfileStore::Created::BadName);
        }
        QCOMPARE(QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({"ftp.example.org.dat", "profiles.dat"}));
        // The longest name is counted with ".dat" for a profile, without it for a folder.
        QCOMPARE(store.createProfile(root(), QString(252, 'p')), ProfileStore::Created::BadName);
        QCOMPARE(store.createProfile(root(), QString(251, 'p')), ProfileStore::Created::Done);
        QVERIFY(ProfileStore::nameProblem(QString(255, 'f')).isEmpty());
        QVERIFY(!ProfileStore::nameProblem(QString(256, 'f')).isEmpty());
        QCOMPARE(store.createFolder(root(), "work"), ProfileStore::Created::Done);
        QCOMPARE(unixMode(root() + "work"), 0700);
    }

    void readingFindsTagsWhereverAndStopsAtTheDamage()
    {
        // Reordered, on one line, among other text.
        const QString one = "junk<active>1</active><port>2121</port>x<server>h</server><username>u</username>"
                            "<password>p</password><proxy></proxy><comments>c</comments><timeout>5</timeout>"
                            "<keepalive>7</keepalive>";
        ProfileRead r = ProfileFile::parse(one);
        QVERIFY(!r.damaged);
        QCOMPARE(r.values, QStringList({"h", "2121", "u", "p", "", "c", "7", "5", "1"}));
        // The first occurrence counts; a comment keeps its line breaks.
        const QString twice =
            QString::fromUtf8(kNewFile).replace("<comments></comments>", "<comments>line 1\r\nline 2\r\n</comments>") +
            "<server>second</server>";
        r = ProfileFile::parse(twice);
        QCOMPARE(r.values[0], QString());
        QCOMPARE(r.values[5], QString("line 1\r\nline 2\r\n"));
        // Windows-1252 from the older program: é is 0xE9, € is 0x80.
        QCOMPARE(ProfileFile::decode("caf\xe9 \x80"), QString::fromUtf8("café €"));

        // Damaged: the values up to the failure. No "</port>": the server is read, nothing after it.
        r = ProfileFile::parse(
            QString::fromUtf8(kNewFile).replace("<server></server>", "<server>s</server>").replace("</port>", ""));
        QVERIFY(r.damaged);
        QCOMPARE(r.values, QStringList{"s"});
        // A closing tag before its opening tag.
        r = ProfileFile::parse("</server><server>");
        QVERIFY(r.damaged && r.values.isEmpty());
        // No opening tag: the text from the opening tag's length on.
        r = ProfileFile::parse("abcdefghij</server>");
        QCOMPARE(r.values.value(0), QString("hij")); // from position 8, counted from 1 ("<server>" is 8 long)
    }

    // Compared as a number: blanks around it are allowed, a word is damage; every other field
    // was filled before the check.
    void activeIsComparedAsANumber()
    {
        const struct { QString value; bool damaged, active; } rows[] = {{"0", false, false}, {"2", false, false},
            {"1", false, true}, {" 1", false, true}, {"yes", true, false}, {"", true, false}};
        for (const auto &row : rows) {
            const ProfileRead r = ProfileFile::parse(
                QString::fromUtf8(kNewFile).replace("<active>1</active>", "<active>" + row.value + "</active>"));
            QVERIFY2(r.damaged == row.damaged && r.values.size() == 9, qPrintable(row.value));
            QVERIFY2(row.damaged || r.active == row.active, qPrintable(row.value));
        }
    }

    // Only regular files of a sensible size are listed or read: a FIFO would block the read for
    // ever, a link to a device would fill the memory. A tree deeper than 64 levels is cut there.
    void listingAndReadingSkipWhatIsNoProfile()
    {
        QVERIFY(QDir().mkpath(root() + QString("d/").repeated(70)));
        const QList<ProfileNode> nodes = ProfileStore(root()).GetProfiles();
        QCOMPARE(nodes.size(), 1 + 64);
        QCOMPARE(nodes.last().key, root() + QString("d/").repeated(64));
        QVERIFY(QDir(root() + "d").removeRecursively());

        QVERIFY(::mkfifo(QFile::encodeName(root() + "pipe.dat").constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/zero", root() + "zero.dat"));
        QVERIFY(writeBytes(root() + "huge.dat", kNewFile + QByteArray(ProfileFile::kMaxBytes, '\n')));
        QCOMPARE(describe(ProfileStore(root()).GetProfiles(), root()), QStringList({"|Profiles|1", "huge.dat|huge|3"}));
        ::alarm(30); // a read that waits for a writer ends the test instead of hanging it
        for (const char *name : {"pipe.dat", "zero.dat", "huge.dat"})
            QVERIFY2(ProfileFile::read(root() + name).damaged, name);
        ::alarm(0);
    }

    // Saved as UTF-8 through a file beside the profile: when the disk refuses the write, the old
    // profile is still whole. A file that does not read as a profile is never written over.
    void savingKeepsWhatItCannotReplace()
    {
        ProfileStore store(root());
        const Profile p{.server = "sérveur", .password = "пароль", .comments = "one\ntwo", .active = false};
        QCOMPARE(store.writeProfile(root() + "p.dat", p), ProfileStore::Saved::NotAProfile); // not there
        QCOMPARE(store.createProfile(root(), "p"), ProfileStore::Created::Done);
        QCOMPARE(store.writeProfile(root() + "p.dat", p), ProfileStore::Saved::Done);
        const QByteArray saved = readBytes(root() + "p.dat");
        QCOMPARE(unixMode(root() + "p.dat"), 0600);
        QCOMPARE(ProfileFile::read(root() + "p.dat").values,
                 QStringList({p.server, "21", "", p.password, "", "one\r\ntwo", "0", "0", "0"}));
        {
            FileSizeLimit full(200);
            QVERIFY(full.ok());
            const Profile longer{.comments = QString(4000, 'c')};
            QCOMPARE(store.writeProfile(root() + "p.dat", longer), ProfileStore::Saved::Failed);
        }
        QCOMPARE(readBytes(root() + "p.dat"), saved);
        QCOMPARE(QDir(root()).entryList(QDir::Files | QDir::Hidden), QStringList{"p.dat"}); // no temporary left
        QVERIFY(writeBytes(root() + "notes.txt", "my notes"));
        QCOMPARE(store.writeProfile(root() + "notes.txt", p), ProfileStore::Saved::NotAProfile);
        QCOMPARE(readBytes(root() + "notes.txt"), QByteArray("my notes"));
    }

    void listingIsSortedAndWhole()
    {
        QVERIFY(QDir().mkpath(root() + "Work/deep"));
        QVERIFY(QDir().mkpath(root() + "archive"));
        for (const char *name : {"notes.txt", "abc", "a.pr", ".hidden.dat", "Work/b.dat", "Work/deep/A.dat"})
            QVERIFY(writeBytes(root() + name, "x")); // "abc" is too short for a name, "a.pr" just long enough
        QVERIFY(QFile::link(root(), root() + "Work/loop")); // a link back up is listed, not entered
        ProfileStore store(root());
        QCOMPARE(describe(store.GetProfiles(), root()),
                 QStringList({"|Profiles|1", ".hidden.dat|.hidden|3", "a.pr||3", "archive/|archive|2",
                              "notes.txt|notes|3", "Work/|Work|2", "Work/b.dat|b|3", "Work/deep/|deep|2",
                              "Work/deep/A.dat|A|3", "Work/loop/|loop|2"}));
    }

    void removingReportsWhatStayed()
    {
        QVERIFY(QDir().mkpath(root() + "f/g"));
        for (const char *name : {"f/g/x.dat", "a.dat", "z.dat"})
            QVERIFY(writeBytes(root() + name, "x"));
        ProfileStore store(root());
        store.remover = [](const ProfileNode &n) { return n.text != "a" && QDir(n.key).removeRecursively(); };
        QStringList asked;
        // Clear all in tree order: "a" fails, the user says stop, nothing after it goes.
        const auto stop = [&](const ProfileNode &n) {
            asked << n.text;
            return false;
        };
        QStringList stayed = store.removeNodes(store.GetProfiles(), stop);
        QCOMPARE(stayed, QStringList{"a"});
        QCOMPARE(asked, QStringList{"a"});
        QVERIFY(QFileInfo::exists(root() + "f/g/x.dat"));
        // Going on deletes the rest; a node inside a folder already deleted is skipped.
        store.remover = {};
        QVERIFY(QFile::setPermissions(root() + "a.dat", QFileDevice::ReadOwner));
        stayed = store.removeNodes(store.GetProfiles(), [](const ProfileNode &) { return true; });
        QVERIFY(stayed.isEmpty());
        QCOMPARE(describe(store.GetProfiles(), root()), QStringList{"|Profiles|1"});
        // The profiles folder itself is never deleted, even asked for directly.
        QVERIFY(writeBytes(root() + "kept.dat", "x"));
        QVERIFY(!store.removeNode(store.GetProfiles().first()));
        QVERIFY(QFileInfo::exists(root() + "kept.dat"));
    }

    void encodeHex64()
    {
        QCOMPARE(EncodeHex64(""), QString(64, '0'));
        QCOMPARE(EncodeHex64("abc"), "03" + QString("616263").repeated(10) + "61");
        QCOMPARE(EncodeHex64("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN"),
                 QString("286162636465666768696a6b6c6d6e6f707172737475767778797a4142434445"));
        // ж is not in the code page.
        QCOMPARE(EncodeHex64(QString::fromUtf8("é€ж")), "03" + QString("e9803f").repeated(10) + "e9");
        QCOMPARE(EncodeHex64(QString(300, 'a')), "ff" + QString("61").repeated(31));
    }

    // An address in the server field connects as the command line does; the profile fills in
    // what the address does not name. Another kind of address is refused.
    void serverAddressConnectsAsTheCommandLine()
    {
        // Server, port, user, password and start folder, from the server, port and user fields.
        const auto from = [](const QString &server, const QString &port, const QString &user) {
            const Profile p{.server = server, .port = port, .username = user, .password = "pw"};
            const auto c = ProfileConnection::from(p, nullptr);
            return c ? QStringList{c->server, c->port, c->username, c->password, c->startFolder} : QStringList();
        };
        QCOMPARE(from("ftp://files.example.org:2121/pub/docs", "21", "bob"),
                 QStringList({"files.example.org", "2121", "bob", "pw", "/pub/docs"}));
        QCOMPARE(from("ftp://ann:s%40cret@h", "21", "bob"), QStringList({"h", "21", "ann", "s@cret", "/"}));
        QCOMPARE(from("ftp://h/", "990", ""), QStringList({"h", "990", "anonymous", "anonymous@", "/"}));
        QCOMPARE(from("ftp.example.org", "21", "bob"), QStringList({"ftp.example.org", "21", "bob", "pw", ""}));
        // sftp:// takes 22 in place of the usual 21 only; the scheme stays in the server field.
        QCOMPARE(from("SFTP://h/srv", "21", "bob"), QStringList({"sftp://h", "22", "bob", "pw", "/srv"}));
        QCOMPARE(from("sftp://h", "2222", "bob"), QStringList({"sftp://h", "2222", "bob", "pw", "/"}));
        QCOMPARE(from("sftp://ann@h:2022", "21", "bob"), QStringList({"sftp://h", "2022", "ann", "", "/"}));
        QString error;
        QVERIFY(!ProfileConnection::from({.server = "http://example.org/"}, &error));
        QVERIFY(error.contains("http://example.org/"));
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profilestore.moc"
