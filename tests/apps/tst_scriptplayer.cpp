// The check-script player against a small modal form built like the recharge
// screen: parsing, presses, keys through the form's key preview, message boxes,
// expectations, screenshots, and the failing line reported at the first miss.
#include "KioskMessageBox.h"
#include "KioskScript.h"
#include "ScreenSession.h"
#include "TBlendedButton.h"
#include "TdxfColorButton.h"

#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// A modal form named like the screen: a caption, a keypad key and a menu button
// that count presses, a question box, hidden and disabled controls, a close
// button, and a key preview that writes every key it sees into lblKeys.
class DummyScreen : public QDialog
{
public:
    DummyScreen()
    {
        setObjectName(QStringLiteral("frmRecSaldo"));
        setWindowTitle(QStringLiteral("Recarga Cartão"));
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        resize(400, 300);
        label = make<QLabel>("lblValor", 10, 10);
        label->setText(QStringLiteral("0,00"));
        keys = make<QLabel>("lblKeys", 10, 40);
        answerLabel = make<QLabel>("lblAnswer", 10, 70);
        auto* digit = make<TdxfColorButton>("dxbTeclado1", 10, 100);
        digit->setText(QStringLiteral("1"));
        connect(digit, &QAbstractButton::clicked, this, [this] { label->setText(QString::number(++digitPresses)); });
        auto* menu = make<TBlendedButton>("blbMenu1", 100, 100);
        menu->setText(QStringLiteral("Refeição"));
        connect(menu, &QAbstractButton::clicked, this, [this] { ++menuPresses; });
        auto* ask = make<QPushButton>("btnAsk", 200, 100);
        connect(ask, &QPushButton::clicked, this, [this] {
            KioskMessageBox box(KioskMessageBox::Kind::Question, QStringLiteral("Confirma a recarga?"), this);
            const bool yes = box.exec() == QDialog::Accepted;
            answerLabel->setText(yes ? QStringLiteral("sim") : QStringLiteral("não"));
        });
        make<QPushButton>("btnHidden", 10, 160)->hide();
        make<QPushButton>("btnDisabled", 100, 160)->setEnabled(false);
        make<QWidget>("blsShape", 200, 160);
        auto* close = make<QPushButton>("btnClose", 10, 220);
        connect(close, &QPushButton::clicked, this, &QDialog::close);
        // Focus on a control: keys must still reach the form's preview.
        ask->setFocus();
        installEventFilter(this);
        for (QWidget* child : findChildren<QWidget*>())
            child->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QString seen = key->key() == Qt::Key_Backspace ? QStringLiteral("<bs>")
                             : key->key() == Qt::Key_Return  ? QStringLiteral("<enter>")
                             : key->key() == Qt::Key_Escape  ? QStringLiteral("<esc>")
                                                             : key->text();
        keys->setText(keys->text() + seen);
        return true; // the preview keeps every key, so Escape does not close the form
    }

    QLabel* label;
    QLabel* keys;
    QLabel* answerLabel;
    int digitPresses = 0;
    int menuPresses = 0;

private:
    template <typename W> W* make(const char* name, int x, int y)
    {
        auto* w = new W(this);
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(x, y, 80, 24);
        return w;
    }
};

// Plays `source` against a fresh dummy screen run modally; empty when it passed.
QString play(DummyScreen& screen, const QString& source)
{
    ScreenSession::Options options;
    options.script = KioskScript::parse(source);
    options.scriptName = QStringLiteral("check");
    ScreenSession session(options);
    screen.exec();
    session.screenGone();
    return session.failure();
}
} // namespace

class TestScriptPlayer : public QObject
{
    Q_OBJECT

private slots:
    void parsesEveryCommand()
    {
        const KioskScript script = KioskScript::parse(QStringLiteral("# a check\n"
                                                                     "\n"
                                                                     "click blbMenu1\n"
                                                                     "  key Backspace  \n"
                                                                     "wait 250\n"
                                                                     "answer no\n"
                                                                     "expect blsNome Maria da Conceição\n"
                                                                     "expect lblVrSaldo \"\"\n"
                                                                     "expect lblMensagem \"diz \\\"sim\\\" \\\\ ok\"\n"
                                                                     "expect-visible bbbAcima false\n"
                                                                     "expect-enabled dxbTeclado0 true\n"
                                                                     "screenshot \"/tmp/a b.png\"\n"));
        const auto& c = script.commands();
        QCOMPARE(c.size(), 10);
        QCOMPARE(c[0].lineNumber, 3);
        QCOMPARE(c[0].name, QStringLiteral("blbMenu1"));
        QCOMPARE(c[1].op, KioskScript::Op::Key);
        QCOMPARE(c[1].line, QStringLiteral("key Backspace"));
        QCOMPARE(c[2].milliseconds, 250);
        QCOMPARE(c[3].name, QStringLiteral("no"));
        QCOMPARE(c[4].text, QStringLiteral("Maria da Conceição"));
        QCOMPARE(c[5].text, QString());
        QCOMPARE(c[6].text, QStringLiteral("diz \"sim\" \\ ok"));
        QCOMPARE(c[7].op, KioskScript::Op::ExpectVisible);
        QCOMPARE(c[7].flag, false);
        QCOMPARE(c[8].flag, true);
        QCOMPARE(c[9].name, QStringLiteral("/tmp/a b.png"));
        QCOMPARE(KioskScript::parse(QStringLiteral("expect x ") + KioskScript::quoted(QStringLiteral("a\"\\b")))
                     .commands()[0]
                     .text,
                 QStringLiteral("a\"\\b"));
    }

    void refusesBadLines_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << "click a\npress b"
                                 << "line 2: press b: unknown command \"press\"";
        QTest::newRow("two names") << "click a b"
                                   << "line 1: click a b: click takes one control name";
        QTest::newRow("key") << "key F1"
                             << "line 1: key F1: key takes a digit, a letter, Backspace, Enter or Escape";
        QTest::newRow("wait") << "\n\nwait soon"
                              << "line 3: wait soon: wait takes a number of milliseconds";
        QTest::newRow("negative wait") << "wait -5"
                                       << "line 1: wait -5: wait takes a number of milliseconds";
        QTest::newRow("answer") << "answer maybe"
                                << "line 1: answer maybe: answer takes yes, no or ok";
        QTest::newRow("no text") << "expect lblVrSaldo"
                                 << "line 1: expect lblVrSaldo: expect takes a control name and a caption "
                                    "(in \"...\" when empty or quoted)";
        QTest::newRow("open quote") << "expect a \"b"
                                    << "line 1: expect a \"b: expect takes a control name and a "
                                       "caption (in \"...\" when empty or quoted)";
        QTest::newRow("after quote") << "expect a \"b\" c"
                                     << "line 1: expect a \"b\" c: expect takes a control "
                                        "name and a caption (in \"...\" when empty or quoted)";
        QTest::newRow("flag") << "expect-visible a yes"
                              << "line 1: expect-visible a yes: expect-visible takes a control name and true or false";
        QTest::newRow("screenshot") << "screenshot"
                                    << "line 1: screenshot: screenshot takes a file name";
        QTest::newRow("screen") << "screen"
                                << "line 1: screen: screen takes one screen name";
        QTest::newRow("two screens") << "screen frmHome frmRecSaldo"
                                     << "line 1: screen frmHome frmRecSaldo: screen takes one screen name";
    }

    void refusesBadLines()
    {
        QFETCH(QString, source);
        QFETCH(QString, message);
        try {
            KioskScript::parse(source);
            QFAIL("the script was accepted");
        } catch (const ScriptError& e) {
            QCOMPARE(e.message(), message);
        }
    }

    void playsPressesKeysAndAnswers()
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("plain.png"));
        const QString boxed = dir.filePath(QStringLiteral("boxed.png"));
        DummyScreen screen;
        const QString failure =
            play(screen, QStringLiteral("expect frmRecSaldo \"Recarga Cartão\"\n"
                                        "expect-enabled dxbTeclado1 true\n"
                                        "click dxbTeclado1\n"
                                        "click dxbTeclado1\n"
                                        "expect lblValor 2\n"
                                        "click blbMenu1\n"
                                        "expect blbMenu1 Refeição\n"
                                        "key 7\nkey a\nkey B\nkey Backspace\nkey Enter\nkey Escape\n"
                                        "expect lblKeys \"7aB<bs><enter><esc>\"\n"
                                        "screenshot ") +
                             plain +
                             QStringLiteral("\nclick btnAsk\n"
                                            "expect lblText \"Confirma a recarga?\"\n"
                                            "screenshot ") +
                             boxed +
                             QStringLiteral("\nanswer yes\n"
                                            "expect lblAnswer sim\n"
                                            "click btnAsk\n"
                                            "answer no\n"
                                            "wait 20\n"
                                            "expect lblAnswer não\n"
                                            "expect-visible btnHidden false\n"
                                            "expect-enabled btnDisabled false\n"));
        QCOMPARE(failure, QString());
        QCOMPARE(screen.digitPresses, 2);
        QCOMPARE(screen.menuPresses, 1);
        QVERIFY(!screen.isVisible()); // closed at the end
        const QImage before(plain), after(boxed);
        QCOMPARE(before.size(), QSize(400, 300));
        QCOMPARE(after.size(), QSize(400, 300));
        // The open message box is drawn over the screen, centred on it.
        QVERIFY(before.pixel(200, 150) != after.pixel(200, 150));
    }

    void stopsAtTheFirstUnmetExpectation()
    {
        DummyScreen screen;
        const QString failure = play(screen, QStringLiteral("click dxbTeclado1\n"
                                                            "# the caption is 1 now\n"
                                                            "expect lblValor 9\n"
                                                            "click dxbTeclado1\n"));
        QCOMPARE(failure, QStringLiteral("check, line 3: expect lblValor 9: caption is \"1\""));
        QCOMPARE(screen.digitPresses, 1); // nothing after the failing line was played
        QVERIFY(!screen.isVisible());
    }

    void refusesWhatAPersonCannotDo_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("failure");
        QTest::newRow("unknown control") << "click dxbTeclado9"
                                         << "check, line 1: click dxbTeclado9: no control "
                                            "named dxbTeclado9";
        QTest::newRow("hidden") << "click btnHidden"
                                << "check, line 1: click btnHidden: btnHidden is not visible";
        QTest::newRow("disabled") << "click btnDisabled"
                                  << "check, line 1: click btnDisabled: btnDisabled is disabled";
        QTest::newRow("behind a box") << "click btnAsk\nclick dxbTeclado1"
                                      << "check, line 2: click dxbTeclado1: a message box is open over dxbTeclado1 "
                                         "(answer it first)";
        QTest::newRow("no box") << "answer yes"
                                << "check, line 1: answer yes: no message box is open";
        QTest::newRow("wrong button") << "click btnAsk\nanswer ok"
                                      << "check, line 2: answer ok: the open message box has no ok button";
        QTest::newRow("no caption") << "expect blsShape x"
                                    << "check, line 1: expect blsShape x: blsShape has no "
                                       "caption";
        QTest::newRow("visible") << "expect-visible btnHidden true"
                                 << "check, line 1: expect-visible btnHidden true: btnHidden is hidden";
        QTest::newRow("enabled") << "expect-enabled dxbTeclado1 false"
                                 << "check, line 1: expect-enabled dxbTeclado1 false: dxbTeclado1 is enabled";
        QTest::newRow("unwritable") << "screenshot /nonexistent/folder/x.png"
                                    << "check, line 1: screenshot /nonexistent/folder/x.png: cannot write "
                                       "/nonexistent/folder/x.png";
    }

    // Each failure closes what is open, message box included, and the screen.
    void refusesWhatAPersonCannotDo()
    {
        QFETCH(QString, source);
        QFETCH(QString, failure);
        DummyScreen screen;
        QCOMPARE(play(screen, source), failure);
        QVERIFY(!screen.isVisible());
    }

    void endsWhenTheScreenCloses()
    {
        DummyScreen closedLast;
        QCOMPARE(play(closedLast, QStringLiteral("click dxbTeclado1\nclick btnClose\n")), QString());
        DummyScreen closedEarly;
        QCOMPARE(play(closedEarly, QStringLiteral("click btnClose\nexpect lblValor 0,00\nclick dxbTeclado1\n")),
                 QStringLiteral("check, line 2: expect lblValor 0,00: the screen closed before this line"));
        QCOMPARE(closedEarly.digitPresses, 0);
    }
};

QTEST_MAIN(TestScriptPlayer)
#include "tst_scriptplayer.moc"
