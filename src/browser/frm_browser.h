#pragma once

#include "core/handler_policy.h"

#include <QWidget>

#include <memory>

class BrowserEngine;
class BrowserWindowModel;
class MessageBoxes;
class QComboBox;
class QLabel;
class QTimer;
class QToolBar;

/// A small web-browser window: toolbar, address box with the history of the pages visited in
/// it, the page below. Each window is independent and deletes itself when closed. It loads
/// when it is first shown, opening its starting address.
class frmBrowser : public QWidget
{
    Q_OBJECT

public:
    static constexpr char16_t kLoadFailureMessage[]
        = u"This function requires Microsoft Internet Explorer v4.0 or higher to be installed";

    explicit frmBrowser(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~frmBrowser() override;

    QString StartingAddress() const;
    void setStartingAddress(const QString& address);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectModel();
    void Load();
    void applyResizeRule();
    void showAddressBox();

    MessageBoxes& m_boxes;
    std::unique_ptr<BrowserEngine> m_unavailableEngine;
    BrowserEngine* m_engine = nullptr;
    BrowserWindowModel* m_model = nullptr;
    bool m_loaded = false;

    QToolBar* tbToolBar = nullptr;
    QWidget* picAddress = nullptr;
    QLabel* lblAddress = nullptr;
    QComboBox* cboAddress = nullptr;
    QWidget* brwWebBrowser = nullptr;
    QTimer* timTimer = nullptr;
};
