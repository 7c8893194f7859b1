#pragma once

#include <QScopedPointer>
#include <QStringList>
#include <QWidget>

namespace Ui
{
class TfrmHome;
}
class QTimer;

// The kiosk's home screen: a consumer identifies by typing their code on the
// keypad and pressing OK, or with a badge or barcode reader that types the code
// and Enter like a keyboard. Offers the consumer's language (pt, en, es) for the
// recharge screen that follows. Messages (an unknown code) show for a few seconds.
class TfrmHome : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmHome(QWidget* parent = nullptr);
    ~TfrmHome() override;

    // Consumer codes are at most this long; further characters are ignored.
    static constexpr int maxCodeLength = 21;
    // How long a message stays on the home screen.
    static constexpr int messageMs = 5000;
    // A code left half-typed (the consumer walked away) goes after this long
    // without a key or a touch, and the language with it.
    static constexpr int idleMs = 30000;

    QString code() const { return m_code; }
    // Ready for the next consumer: no code, no message, the kiosk's own language.
    void clear();
    // The code typed so far goes; the message and the language stay.
    void clearCode();
    // Shows `text` for messageMs (tmrMensagem), then clears it.
    void showMessage(const QString& text);
    QString message() const;
    // Shows `text` until a message replaces it or the screen is cleared: a slow step.
    void showProgress(const QString& text);
    void clearMessage() { tmrMensagemTimer(); }
    // Demo kiosks list the demo consumers' codes beside the keypad.
    void setDemoCodes(const QStringList& lines);
    // While a consumer is served the home screen takes no code; it is "storeBusy" (for the
    // kiosk's script player) until it takes codes again.
    void setAcceptingCodes(bool accepting)
    {
        m_accepting = accepting;
        setProperty("storeBusy", !accepting);
    }

    // The message timer's handler: the message goes away.
    void tmrMensagemTimer();
    // The idle timer's handler: ready for the next consumer.
    void tmrInativoTimer();

signals:
    // A code was confirmed (OK or Enter); the screen keeps showing it until cleared.
    void codeEntered(const QString& code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void dxbTeclado1Click();
    void dxbTclCorrigirClick();
    void dxbTclOKClick();
    void chooseLanguage(const QString& language);
    void typeCharacter(QChar c);
    void showCode();
    void retranslate();

    QScopedPointer<Ui::TfrmHome> m_ui;
    QTimer* m_messageTimer;
    QTimer* m_idleTimer;
    QString m_code;
    QStringList m_demoCodes;
    bool m_accepting = true;
};
