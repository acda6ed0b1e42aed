#pragma once

#include <QTextBrowser>

#include <functional>

class QHelpEngineCore;

/// Shows the manual's pages, read from the compiled help file. Links to the web or to a mail
/// address go to the desktop's browser or mail program; other schemes are ignored.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    using OpenAddress = std::function<void(QWidget *owner, const QString &address)>;

    HelpBrowser(QHelpEngineCore *engine, OpenAddress openAddress, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &name) override;

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    QHelpEngineCore *m_engine;
    OpenAddress m_openAddress;
};
