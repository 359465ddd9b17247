#pragma once

#include "core/handler_policy.h"

#include <QObject>
#include <QStringList>

#include <optional>

/// The web-browser control, as the browser window drives it. Each command returns the failure
/// that kept it from running.
class BrowserEngine
{
public:
    virtual ~BrowserEngine() = default;
    virtual Result<> navigate(const QString& address) = 0;
    virtual Result<> goBack() = 0;
    virtual Result<> goForward() = 0;
    virtual Result<> goHome() = 0;
    virtual Result<> goSearch() = 0;
    virtual Result<> refresh() = 0;
    virtual Result<> stop() = 0;
    /// True while a page loads.
    virtual bool busy() const = 0;
    /// The current page's title and address.
    virtual QString locationName() const = 0;
    virtual QString locationURL() const = 0;
};

/// The browser window's rules, apart from any widget: the address box's list and text, the
/// window title and the busy timer, driven by the window's events. The window shows what the
/// model holds; the model tells it of every change. Every handler but load() skips a failing
/// step and goes on with the next.
class BrowserWindowModel : public QObject
{
    Q_OBJECT

public:
    static constexpr char16_t kInitialTitle[] = u"Lumo Brisk Terminal";
    static constexpr char16_t kWorkingTitle[] = u"Working...";

    explicit BrowserWindowModel(BrowserEngine& engine, QObject* parent = nullptr);

    /// The address the window opens when it loads; empty opens nothing.
    QString startingAddress() const { return m_startingAddress; }
    void setStartingAddress(const QString& address) { m_startingAddress = address; }

    /// The address box: its list (entry 0 the page shown most recently), the selected entry (-1
    /// for none) and the text in its edit field.
    QStringList history() const { return m_history; }
    int listIndex() const { return m_listIndex; }
    QString addressText() const { return m_addressText; }
    QString title() const { return m_title; }
    bool timerEnabled() const { return m_timerEnabled; }

    /// The window's Load, after the layout: puts the starting address in the address box and the
    /// list, starts the busy indication and opens the address. Returns the failure that ended it.
    Result<> load();
    /// A page's download has ended: the title follows the page.
    void downloadComplete();
    /// A page has been reached: the title follows it and its address moves to the top of the
    /// list, or joins it there, without a second navigation.
    void navigateComplete();
    /// The user changed the text in the address box.
    void addressEdited(const QString& text);
    /// The user picked an entry of the list: it is selected and the box's Click follows.
    void addressSelected(int index);
    /// A key pressed in the address box: Enter (13) acts as Click.
    void addressKeyPress(int keyAscii);
    /// The busy timer's tick.
    void timerTick();
    /// A toolbar button, by its key: "Back", "Forward", "Stop", "Refresh", "Home" or "Search".
    void buttonClick(const QString& key);

signals:
    void titleChanged(const QString& title);
    void timerEnabledChanged(bool enabled);
    /// The list, the selection or the text of the address box changed.
    void addressBoxChanged();

private:
    void addressClick();
    void selectEntry(int index);
    void setTitle(const QString& title);
    void setTimerEnabled(bool enabled);

    BrowserEngine& m_engine;
    QString m_startingAddress;
    bool m_suppressNavigation = false;
    QStringList m_history;
    int m_listIndex = -1;
    QString m_addressText;
    QString m_title = QString::fromUtf16(kInitialTitle);
    bool m_timerEnabled = false;
};

/// The sizes the resize rule gives, in the unit of its inputs; a size that would be negative is
/// left out, and its control keeps the size it had.
struct BrowserSizes
{
    std::optional<int> addressWidth;
    std::optional<int> browserWidth;
    std::optional<int> browserHeight;
};

/// The resize rule: the address box and the browser are as wide as the client area less the
/// margin, and the browser reaches from the address panel's bottom to the client area's bottom
/// less the margin. (The browser itself starts a little below the panel, so it overhangs the
/// client area a little.)
BrowserSizes browserSizes(int clientWidth, int clientHeight, int panelBottom, int margin);
