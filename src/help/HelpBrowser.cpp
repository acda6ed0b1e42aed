#include "HelpBrowser.h"

#include <QHelpEngineCore>

HelpBrowser::HelpBrowser(QHelpEngineCore *engine, OpenAddress openAddress, QWidget *parent)
    : QTextBrowser(parent), m_engine(engine), m_openAddress(std::move(openAddress)) {
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name) {
    if (name.scheme() == QLatin1String("qthelp"))
        return m_engine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type) {
    const QString scheme = name.scheme();
    if (scheme == QLatin1String("qthelp") || name.isRelative()) {
        QTextBrowser::doSetSource(name, type);
        return;
    }
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
         scheme == QLatin1String("mailto")) &&
        m_openAddress)
        m_openAddress(this, name.toString(QUrl::FullyEncoded));
}
