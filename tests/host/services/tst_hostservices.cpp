// Host library services: string helpers, connection strings, failure texts,
// MensagemMetodo, the configuration file, script splitting and cent rounding.
#include "ConnectionString.h"
#include "Consiste.h"
#include "DataPacket.h"
#include "Geralzel.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "Mensagemzel.h"
#include "Money.h"
#include "ScriptedMessages.h"
#include "SqlConnection.h"
#include "SqlParameters.h"
#include "SqlScript.h"
#include "Srv_registro.h"
#include "Zel_vandril.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestHostServices : public QObject
{
    Q_OBJECT
private slots:
    void ajustaAndEmptyString()
    {
        QCOMPARE(Consiste::Ajusta(QStringLiteral("1"), 3), QStringLiteral("001"));
        QCOMPARE(Consiste::Ajusta(QStringLiteral("123"), 10), QStringLiteral("0000000123"));
        QCOMPARE(Srv_consiste::Ajusta(QString(), 3), QStringLiteral("000"));
        QCOMPARE(Consiste::Ajusta(QStringLiteral("12345678901"), 10), QStringLiteral("12345678901")); // kept whole
        QVERIFY(Consiste::EmptyString(QString()));
        QVERIFY(Consiste::EmptyString(QStringLiteral("   ")));
        QVERIFY(!Srv_consiste::EmptyString(QStringLiteral(" 0 ")));
    }

    void connectionStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("driver");
        QTest::newRow("sqlite") << "Provider=SQLITE;Data Source=/x/store.db"
                                << "SQLITE"
                                << "QSQLITE";
        QTest::newRow("postgres") << "provider=postgresql;Host=db;Password=s3cret"
                                  << "POSTGRESQL"
                                  << "QPSQL";
        QTest::newRow("oracle ado") << "Provider=MSDAORA.1;Data Source=ORCL;Password=x"
                                    << "ORACLE"
                                    << "QODBC";
        QTest::newRow("sql server ado") << "Provider=SQLOLEDB.1;Server=s;PWD=x"
                                        << "MSSQL"
                                        << "QODBC";
        QTest::newRow("unknown") << "Provider=Foo"
                                 << ""
                                 << "";
    }
    void connectionStrings()
    {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(QString, driver);
        const ConnectionString cs(text);
        QCOMPARE(cs.kind(), kind);
        QCOMPARE(cs.qtDriver(), driver);
        QVERIFY(!cs.redacted().contains(QStringLiteral("s3cret")));
        QVERIFY(!cs.redacted().contains(QStringLiteral("=x")));
    }

    // Values quoted as ADO ("..." with "" for a quote) and ODBC ({...} with }} for a
    // brace) hold ';' and '='; what cannot be read is named, a password never.
    void connectionStringQuoting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // of key, when the string is valid
        QTest::addColumn<QString>("error"); // part of the error, "" when valid
        QTest::newRow("quoted ;") << "Provider=POSTGRESQL;Host=db;Password=\"Sec;ret9=\""
                                  << "Password"
                                  << "Sec;ret9="
                                  << "";
        QTest::newRow("doubled quote") << "Provider=POSTGRESQL;Password=\"a\"\"Secret9;\";Host=db"
                                       << "Password"
                                       << "a\"Secret9;"
                                       << "";
        QTest::newRow("braces") << "Provider=MSSQL;Server=s;PWD={Sec;ret}}9};UID=u"
                                << "PWD"
                                << "Sec;ret}9"
                                << "";
        QTest::newRow("sqlite path with ;") << "Provider=SQLITE;Data Source = \"/tmp/a;b/store.db\" ;"
                                            << "Data Source"
                                            << "/tmp/a;b/store.db"
                                            << "";
        QTest::newRow("spaces kept inside quotes") << "provider = sqlite ; data source = { /x y/s.db }"
                                                   << "Data Source"
                                                   << " /x y/s.db "
                                                   << "";
        QTest::newRow("password cut by ;") << "Provider=POSTGRESQL;Host=db;Password=Sec;ret9"
                                           << ""
                                           << ""
                                           << "the text after Password= has no \"=\"";
        QTest::newRow("fragment without =") << "Provider=SQLITE;Data Source=/x;junk"
                                            << ""
                                            << ""
                                            << "\"junk\" has no \"=\"";
        QTest::newRow("unknown key") << "Provider=POSTGRESQL;Host=db;Colour=blue"
                                     << ""
                                     << ""
                                     << "\"Colour\" is not a key of a POSTGRESQL store";
        QTest::newRow("unknown key after password") << "Provider=POSTGRESQL;Password=Sec;ret9=x"
                                                    << ""
                                                    << ""
                                                    << "the key after Password= is not a key";
        QTest::newRow("quote never closed") << "Provider=POSTGRESQL;Password=\"Secret9;Host=db"
                                            << ""
                                            << ""
                                            << "the value of Password opens with \" and never closes";
        QTest::newRow("text after the quote") << "Provider=POSTGRESQL;Password=\"Secret9\"x;Host=db"
                                              << ""
                                              << ""
                                              << "the value of Password goes on after its closing \"";
        QTest::newRow("key missing") << "Provider=SQLITE;=Secret9"
                                     << ""
                                     << ""
                                     << "a value has no key";
        QTest::newRow("server lists") << "Provider=POSTGRESQL;Host=db1, db2;Port=5432,5433;"
                                         "Target Session Attrs=Read-Write;Password=Secret9"
                                      << "Port"
                                      << "5432,5433"
                                      << "";
        QTest::newRow("a port per host") << "Provider=POSTGRESQL;Host=a,b;Port=1,2,3"
                                         << ""
                                         << ""
                                         << "Port lists 3 ports for 2 hosts";
        QTest::newRow("port not a number") << "Provider=POSTGRESQL;Host=a;Port=54x32"
                                           << ""
                                           << ""
                                           << "Port \"54x32\" is not a port number";
        QTest::newRow("session attrs") << "Provider=POSTGRESQL;Host=a;Target Session Attrs=primary-ish"
                                       << ""
                                       << ""
                                       << "Target Session Attrs \"primary-ish\" is not one of";
        QTest::newRow("failover window") << "Provider=POSTGRESQL;Host=a;Failover Window=2,5"
                                         << ""
                                         << ""
                                         << "Failover Window \"2,5\" is not a number of seconds";
        QTest::newRow("ODBC keys are the driver's") << "Provider=ORACLE;DSN=x;Anything=1"
                                                    << "Anything"
                                                    << "1"
                                                    << "";
    }
    void connectionStringQuoting()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, error);
        const ConnectionString cs(text);
        QVERIFY2(cs.isValid() == error.isEmpty(), qPrintable(cs.error()));
        QVERIFY2(cs.error().contains(error), qPrintable(cs.error()));
        if (!key.isEmpty())
            QCOMPARE(cs.value(key), value);
        for (const QString& secret : {QStringLiteral("Secret9"), QStringLiteral("ret9"), QStringLiteral("ret}")}) {
            QVERIFY2(!cs.error().contains(secret), qPrintable(cs.error()));
            QVERIFY2(!cs.redacted().contains(secret), qPrintable(cs.redacted()));
        }
        // What is handed on reads back the same: a store's redacted text and an ODBC string.
        if (cs.isValid() && cs.kind() != QLatin1String("MSSQL"))
            QCOMPARE(ConnectionString(cs.redacted()).value(key),
                     key.compare(QLatin1String("Password"), Qt::CaseInsensitive) ? value : QStringLiteral("***"));
        if (cs.kind() == QLatin1String("MSSQL"))
            QCOMPARE(cs.odbcConnectString(), QStringLiteral("Server=s;PWD={Sec;ret}}9};UID=u"));
        // A program that writes a value into a string quotes it so that it reads back whole.
        if (!value.isEmpty())
            QCOMPARE(ConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + ConnectionString::quote(value))
                         .value(QStringLiteral("Data Source")),
                     value);
    }

    void postgresServerLists()
    {
        const ConnectionString two(QStringLiteral(
            "Provider=POSTGRESQL;Host=db1, db2;Port=5432,5433;Target Session Attrs=Read-Write;Connect Timeout=3"));
        QCOMPARE(two.hosts(), (QStringList{QStringLiteral("db1"), QStringLiteral("db2")}));
        QVERIFY(two.postgresOptions().startsWith(QStringLiteral("connect_timeout=3 ")));
        QVERIFY(two.postgresOptions().endsWith(QStringLiteral(" port=5432,5433 target_session_attrs=read-write")));
        QCOMPARE(two.failoverWindowMs(), 10000);
        const ConnectionString one(QStringLiteral("Provider=POSTGRESQL;Host=db;Port=5432;Failover Window=4"));
        QCOMPARE(one.ports(), QStringList{QStringLiteral("5432")});
        QVERIFY(one.postgresOptions().startsWith(QStringLiteral("connect_timeout=3 ")));
        QCOMPARE(one.failoverWindowMs(), 4000);
        QCOMPARE(ConnectionString(QStringLiteral("Provider=POSTGRESQL;Host=db")).failoverWindowMs(), 0);
    }

    // TLS and time limits reach libpq; what libpq cannot take whole is refused up front.
    void postgresOptions_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("options"); // expected among the options, or the error's words
        QTest::addColumn<bool>("valid");
        QTest::newRow("defaults") << QString()
                                  << QStringLiteral("connect_timeout=3 keepalives=1 keepalives_idle=5 "
                                                    "keepalives_interval=2 keepalives_count=3 "
                                                    "tcp_user_timeout=10000 options='-c statement_timeout=5000'")
                                  << true;
        QTest::newRow("TLS, our spelling")
            << QStringLiteral("SSL Mode=Verify-Full;SSL Root Cert=/etc/kiosk/ca.crt;SSL Cert=/k c.crt;SSL Key=/it's")
            << QStringLiteral("sslmode=verify-full sslrootcert=/etc/kiosk/ca.crt sslcert='/k c.crt' sslkey='/it\\'s'")
            << true;
        QTest::newRow("both spellings") << QStringLiteral("SSL Mode=require;sslmode=disable")
                                        << QStringLiteral("same setting") << false;
    }
    void postgresOptions()
    {
        QFETCH(QString, settings);
        QFETCH(QString, options);
        QFETCH(bool, valid);
        const ConnectionString cs(QStringLiteral("Provider=POSTGRESQL;Host=db;") + settings);
        QCOMPARE(cs.isValid(), valid);
        QVERIFY2((valid ? cs.postgresOptions() : cs.error()).contains(options),
                 qPrintable(cs.postgresOptions() + cs.error()));
    }

    void connectionFailureTextHasNoPassword()
    {
        HostConfig::instance().setConnectionString(
            QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Port=1;Database=none;User ID=u;Password=TopSecret9"));
        QCOMPARE(Srv_registro::_UsedDatabase(QString()), QStringLiteral("POSTGRESQL"));
        SqlConnection c(QStringLiteral("adcRecSaldo"));
        c.beforeConnect = [](SqlConnection& s) { s.setConnectionString(Geralzel::_GetStringConexZel(QString())); };
        try {
            c.open();
            QFAIL("connected to port 1");
        } catch (const SqlError& e) {
            const QString text = Zel_vandril::ADOExceptionMessage(e, &c, QString());
            QVERIFY2(text.contains(QStringLiteral("adcRecSaldo")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Port=1")), qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("TopSecret9")), qPrintable(text));
        }
        QVERIFY(!Zel_vandril::TryConnect(c));
        HostConfig::instance().setConnectionString(QString());
        QVERIFY_THROWS_EXCEPTION(ConfigError, Geralzel::_GetStringConexZel(QString()));
    }

    void usedDatabaseOverride()
    {
        HostConfig::instance().setConnectionString(QStringLiteral("Provider=SQLITE;Data Source=x"));
        Srv_registro::setUsedDatabaseOverride(QStringLiteral("oracle"));
        QCOMPARE(Srv_registro::_UsedDatabase(QString()), QStringLiteral("oracle"));
        Srv_registro::setUsedDatabaseOverride(QString(), false);
        QCOMPARE(Srv_registro::_UsedDatabase(QString()), QStringLiteral("SQLITE"));
    }

    void mensagemMetodoShowsFailureOnceAndHandsBackAnEmptyPacket()
    {
        ScriptedMessages messages;
        const QVariant failed = Mensagemzel::MensagemMetodo(
            QStringLiteral("Falha no banco de dados (x): y"), true, 0, QStringLiteral("getSaldoCons"),
            QStringLiteral("Cli_Kvb52814"), QStringLiteral("0001-C1-K1"), QStringLiteral("002"));
        // The store's own words go to the log; the consumer reads the kiosk's.
        QCOMPARE(messages.notices.size(), 1);
        QVERIFY(!messages.notices.first().contains(QStringLiteral("Falha no banco")));
        QVERIFY(PacketVariant::isPacket(failed));
        QVERIFY(PacketVariant::packet(failed).isEmpty());

        DataPacket p({FieldDef::make(QStringLiteral("A"), FieldType::String, 1)});
        const QVariant passed = Mensagemzel::MensagemMetodo(PacketVariant::of(p), true, 0, QStringLiteral("m"),
                                                            QString(), QString(), QString());
        QCOMPARE(PacketVariant::packet(passed), p);
        QVERIFY(!Mensagemzel::MensagemMetodo(QVariant(), true, 0, QStringLiteral("setGravaCompCred"), QString(),
                                             QString(), QString())
                     .isValid());
        QCOMPARE(messages.notices.size(), 1);
    }

    void mensagemAsksOrNotifies()
    {
        ScriptedMessages messages;
        QList<bool> answers;
        const auto record = [&answers](bool yes) { answers << yes; };
        messages.nextAnswer = false;
        Mensagemzel::Mensagem(QStringLiteral("Confirma?"), QString(), QStringLiteral("N"), QStringLiteral("S"),
                              tmPergunta, QString(), QStringLiteral("002"), 0, nullptr, record);
        messages.nextAnswer = true;
        Mensagemzel::Mensagem(QStringLiteral("Confirma?"), QString(), QStringLiteral("N"), QStringLiteral("S"),
                              tmPergunta, QString(), QStringLiteral("002"), 0, nullptr, record);
        Mensagemzel::Mensagem(QStringLiteral("Aviso"), QString(), QStringLiteral("N"), QStringLiteral("N"), tmAviso,
                              QString(), QStringLiteral("002"), 0, nullptr, record);
        QVERIFY(answers.isEmpty()); // nothing waits for an answer
        QTRY_COMPARE(answers, (QList<bool>{false, true, false}));
        QCOMPARE(messages.questions.size(), 2);
        QCOMPARE(messages.notices, QStringList{QStringLiteral("Aviso")});
    }

    void configFileAndEnvironment()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kiosk.conf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# kiosk\n[database]\nconnection = Provider=SQLITE;Data Source=/a.db\n[kiosk]\n"
                "dataFolder = /srv/kiosk\nlocale = en_US\n");
        f.close();
        qunsetenv("KIOSK_DB");
        HostConfig config;
        config.load(path);
        QCOMPARE(config.connectionString(), QStringLiteral("Provider=SQLITE;Data Source=/a.db"));
        QCOMPARE(config.programFolder(), QStringLiteral("/srv/kiosk"));
        QCOMPARE(config.locale(), QStringLiteral("en_US"));
        qputenv("KIOSK_DB", "Provider=SQLITE;Data Source=/b.db");
        config.load(path);
        QCOMPARE(config.connectionString(), QStringLiteral("Provider=SQLITE;Data Source=/b.db"));
        qunsetenv("KIOSK_DB");

        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[database]\nconection = typo\n");
        f.close();
        try {
            config.load(path);
            QFAIL("typo accepted");
        } catch (const ConfigError& e) {
            QVERIFY(e.message().contains(QStringLiteral("line 2")));
        }
        QVERIFY_THROWS_EXCEPTION(ConfigError, config.load(dir.filePath(QStringLiteral("none.conf"))));
    }

    void scriptSplitting()
    {
        const QStringList parts = SqlScript::split(
            QStringLiteral("CREATE TABLE A (X VARCHAR(3)); -- a comment; with semicolon\n"
                           "INSERT INTO A VALUES ('a;b');\n"
                           "CREATE PROCEDURE P() LANGUAGE plpgsql AS $$\nBEGIN\n  NULL;\nEND;\n$$;\n"));
        QCOMPARE(parts.size(), 3);
        QVERIFY(parts[1].contains(QStringLiteral("'a;b'")));
        QVERIFY(parts[2].contains(QStringLiteral("NULL;\nEND;")));
    }

    void serverEngineScriptsSplitAsTheirToolsWould()
    {
        const auto read = [](const char* path) {
            QFile f(QStringLiteral(KIOSK_SOURCE_DIR "/") + QString::fromLatin1(path));
            if (!f.open(QIODevice::ReadOnly))
                qFatal("cannot read %s", path);
            return QString::fromUtf8(f.readAll());
        };
        const QStringList mssql = SqlScript::split(read("database/mssql/schema.sql"));
        QCOMPARE(mssql.size(), 2); // the tables' batch, the procedure's batch
        QVERIFY(mssql[1].startsWith(QStringLiteral("CREATE PROCEDURE ATUALIZA_SALDO_CONS_FKB")));
        QVERIFY(mssql[1].contains(QStringLiteral("@P_DTINIEVOLUCAO")));
        QVERIFY(mssql[1].trimmed().endsWith(QStringLiteral("END")));

        const QStringList oracle = SqlScript::split(read("database/oracle/schema.sql"));
        QCOMPARE(oracle.filter(QRegularExpression(QStringLiteral("^CREATE TABLE"))).size(), 12);
        QVERIFY(oracle.last().startsWith(QStringLiteral("CREATE OR REPLACE PROCEDURE ATUALIZA_SALDO_CONS_FKB")));
        QVERIFY(oracle.last().endsWith(QStringLiteral("END;"))); // PL/SQL keeps its semicolons
        for (const QString& statement : oracle.mid(0, oracle.size() - 1))
            QVERIFY2(!statement.contains(QLatin1Char(';')), qPrintable(statement));

        const QStringList postgres = SqlScript::split(read("database/postgresql/atualiza_saldo_cons_fkb.sql"));
        QCOMPARE(postgres.size(), 3); // its search path, the function, its EXECUTE taken from PUBLIC
        QVERIFY(postgres[1].startsWith(QStringLiteral("CREATE OR REPLACE FUNCTION ATUALIZA_SALDO_CONS_FKB")));

        // The upgrade steps: each T-SQL batch and each PL/SQL block whole, every one tolerating
        // a step already done.
        const QStringList mssqlStep = SqlScript::split(read("database/mssql/schema-2.sql"));
        QCOMPARE(mssqlStep.size(), 2);
        QVERIFY(mssqlStep[0].contains(QStringLiteral("DROP INDEX MOVCAIXA_NSU ON MOVCAIXA")));
        QVERIFY(mssqlStep[0].contains(QStringLiteral("IF NOT EXISTS")));
        const QStringList oracleStep = SqlScript::split(read("database/oracle/schema-2.sql"));
        QCOMPARE(oracleStep.size(), 3);
        for (const QString& block : oracleStep) {
            QVERIFY2(block.startsWith(QStringLiteral("BEGIN")) && block.endsWith(QStringLiteral("END;")),
                     qPrintable(block));
            QVERIFY2(block.contains(QStringLiteral("EXCEPTION WHEN OTHERS")), qPrintable(block));
        }
    }

    void placeholderNames()
    {
        QCOMPARE(SqlParameters::placeholderNames(QStringLiteral(
                     "SELECT '   ' AS X, ':NOT' FROM T WHERE (A (+)= :P_A) AND B = :P_B AND C = :P_A::text")),
                 (QStringList{QStringLiteral("P_A"), QStringLiteral("P_B")}));
    }

    void centsRoundingThroughText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("two decimals unchanged") << 12.34 << 12.34;
        QTest::newRow("typed amount") << 1000.1 << 1000.1;
        QTest::newRow("half away from zero") << 2.675 << 2.68; // binary 2.67499999..., 15 digits say 2.675
        QTest::newRow("negative half") << -0.125 << -0.13;
        QTest::newRow("sum noise") << 0.1 + 0.2 << 0.3;
        QTest::newRow("tiny") << 0.004 << 0.0;
        QTest::newRow("large") << 9999999.995 << 10000000.0;
    }
    void centsRoundingThroughText()
    {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QCOMPARE(Money::fromUnits(value)->units(), rounded);
    }
};

QTEST_GUILESS_MAIN(TestHostServices)
#include "tst_hostservices.moc"
