// The mount table: which file system holds a path, and which file systems are network shares
// or optical discs. The tables are written here in the kernel's mountinfo format.
#include "ui/mount_table.h"

#include <QtTest>

namespace {

// A machine with a local root, a network share, a share on a path with a blank, a disc, a
// read-only bind mount and a share mounted over a folder of another share.
const QByteArray Table = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                         "30 22 0:40 / /mnt/office rw,relatime shared:5 - nfs4 srv:/office rw\n"
                         "31 22 0:41 / /mnt/Ann\\040Share rw - cifs //srv/ann rw\n"
                         "32 22 11:0 / /media/ann/DISC ro,nosuid - iso9660 /dev/sr0 ro\n"
                         "33 22 11:1 / /media/ann/BLURAY rw - udf /dev/sr1 rw\n"
                         "34 22 8:2 / /srv/archive ro,relatime - ext4 /dev/sda2 ro\n"
                         "35 30 0:42 / /mnt/office/home rw master:7 - fuse.sshfs ann@h: rw\n"
                         "this line is not a mount\n"
                         "36 22 8:3 / /cut rw\n";

} // namespace

class MountTableTest : public QObject
{
    Q_OBJECT

private slots:
    void mountOfAPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("disc");

        QTest::newRow("local") << "/home/ann/a.odg"
                               << "/"
                               << "ext4" << false << false << false;
        QTest::newRow("nfs share") << "/mnt/office/plans/a.odg"
                                   << "/mnt/office"
                                   << "nfs4" << false << true << false;
        QTest::newRow("mount point itself") << "/mnt/office"
                                            << "/mnt/office"
                                            << "nfs4" << false << true << false;
        QTest::newRow("name that only starts like a mount point")
            << "/mnt/officeX/a.odg"
            << "/"
            << "ext4" << false << false << false;
        QTest::newRow("blank in the mount point") << "/mnt/Ann Share/a.odg"
                                                  << "/mnt/Ann Share"
                                                  << "cifs" << false << true << false;
        QTest::newRow("share over a share: the deeper one")
            << "/mnt/office/home/a.odg"
            << "/mnt/office/home"
            << "fuse.sshfs" << false << true << false;
        QTest::newRow("cd") << "/media/ann/DISC/x"
                            << "/media/ann/DISC"
                            << "iso9660" << true << false << true;
        QTest::newRow("dvd mounted rw") << "/media/ann/BLURAY"
                                        << "/media/ann/BLURAY"
                                        << "udf" << false << false << true;
        QTest::newRow("read-only disk") << "/srv/archive/2024"
                                        << "/srv/archive"
                                        << "ext4" << true << false << false;
        QTest::newRow("dot-dot out of a share") << "/mnt/office/../a.odg"
                                                << "/"
                                                << "ext4" << false << false << false;
    }

    void mountOfAPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, mountPoint);
        QFETCH(QString, type);
        QFETCH(bool, readOnly);
        QFETCH(bool, network);
        QFETCH(bool, disc);

        const MountTable table = MountTable::parse(Table);
        const std::optional<MountEntry> mount = table.mountOf(path);
        QVERIFY(mount.has_value());
        QCOMPARE(mount->mountPoint, mountPoint);
        QCOMPARE(mount->type, type);
        QCOMPARE(mount->readOnly, readOnly);
        QCOMPARE(IsNetworkFileSystem(mount->type), network);
        QCOMPARE(IsOpticalDiscFileSystem(mount->type), disc);
    }

    void malformedLinesAreSkipped()
    {
        const MountTable table = MountTable::parse(Table);
        QCOMPARE(table.entries().size(), std::size_t{7});
        QVERIFY(!MountTable::parse("garbage\n\n1 2 3\n").mountOf(QStringLiteral("/a")));
    }

    void relativePathHasNoMount()
    {
        QVERIFY(!MountTable::parse(Table).mountOf(QStringLiteral("plans/a.odg")));
    }

    void thisProcessHasARoot()
    {
        const std::optional<MountEntry> root = MountTable::current().mountOf(QStringLiteral("/"));
        QVERIFY(root.has_value());
        QCOMPARE(root->mountPoint, QStringLiteral("/"));
    }
};

QTEST_GUILESS_MAIN(MountTableTest)
#include "mount_table_test.moc"
