#include "core/browser_model.h"

BrowserWindowModel::BrowserWindowModel(BrowserEngine& engine, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
{ }

Result<> BrowserWindowModel::load()
{
    if (m_startingAddress.isEmpty())
        return {};
    m_addressText = m_startingAddress;
    m_history.append(m_startingAddress);
    emit addressBoxChanged();
    setTimerEnabled(true);
    return m_engine.navigate(m_startingAddress);
}

void BrowserWindowModel::downloadComplete()
{
    setTitle(m_engine.locationName());
}

void BrowserWindowModel::navigateComplete()
{
    setTitle(m_engine.locationName());
    const QString address = m_engine.locationURL();
    const qsizetype found = m_history.indexOf(address);
    // Selecting the new entry raises the box's Click, which must not navigate again.
    m_suppressNavigation = true;
    if (found >= 0) {
        m_history.removeAt(found);
        m_listIndex = -1;
    }
    m_history.prepend(address);
    selectEntry(0);
    m_suppressNavigation = false;
}

void BrowserWindowModel::addressEdited(const QString& text)
{
    m_addressText = text;
}

void BrowserWindowModel::addressSelected(int index)
{
    selectEntry(index);
}

void BrowserWindowModel::addressKeyPress(int keyAscii)
{
    if (keyAscii == 13)
        addressClick();
}

void BrowserWindowModel::timerTick()
{
    if (!m_engine.busy()) {
        setTimerEnabled(false);
        setTitle(m_engine.locationName());
    } else {
        setTitle(QString::fromUtf16(kWorkingTitle));
    }
}

void BrowserWindowModel::buttonClick(const QString& key)
{
    setTimerEnabled(true);
    if (key == u"Back") {
        skipAndContinue([this] { return m_engine.goBack(); });
    } else if (key == u"Forward") {
        skipAndContinue([this] { return m_engine.goForward(); });
    } else if (key == u"Refresh") {
        skipAndContinue([this] { return m_engine.refresh(); });
    } else if (key == u"Home") {
        skipAndContinue([this] { return m_engine.goHome(); });
    } else if (key == u"Search") {
        skipAndContinue([this] { return m_engine.goSearch(); });
    } else if (key == u"Stop") {
        skipAndContinue([this] { setTimerEnabled(false); }, [this] { return m_engine.stop(); },
            [this] { setTitle(m_engine.locationName()); });
    }
}

void BrowserWindowModel::addressClick()
{
    if (m_suppressNavigation)
        return;
    setTimerEnabled(true);
    skipAndContinue([this] { return m_engine.navigate(m_addressText); });
}

void BrowserWindowModel::selectEntry(int index)
{
    if (index < 0 || index >= m_history.size())
        return;
    m_listIndex = index;
    m_addressText = m_history.at(index);
    emit addressBoxChanged();
    // The box raises its Click whenever its selection is set, by the user or by code.
    addressClick();
}

void BrowserWindowModel::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(m_title);
}

void BrowserWindowModel::setTimerEnabled(bool enabled)
{
    if (enabled == m_timerEnabled)
        return;
    m_timerEnabled = enabled;
    emit timerEnabledChanged(enabled);
}

BrowserSizes browserSizes(int clientWidth, int clientHeight, int panelBottom, int margin)
{
    const auto size
        = [](int value) { return value >= 0 ? std::optional<int>(value) : std::nullopt; };
    return { size(clientWidth - margin), size(clientWidth - margin),
        size(clientHeight - panelBottom - margin) };
}
