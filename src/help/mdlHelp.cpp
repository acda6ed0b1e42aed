#include "mdlHelp.h"

#include "HelpWindow.h"
#include "Prompts.h"

mdlHelp::mdlHelp(Prompts &prompts, OpenAddress openAddress)
    : m_prompts(prompts), m_openAddress(std::move(openAddress)) {}

mdlHelp::~mdlHelp() = default;

QString mdlHelp::HelpFilePath(int number, QWidget *owner) {
    if (number == 1)
        return m_helpFile;
    m_prompts.message(owner,
                      QStringLiteral("Invalid Help file.\nHelp File #") + QString::number(number) +
                          QStringLiteral("\nHelp File Path: "),
                      QStringLiteral("Cairnmeter Help File"), Prompts::Icon::Critical);
    return {};
}

bool mdlHelp::HelpContents(int number, QWidget *owner) {
    return show(number, static_cast<int>(HelpWindow::Page::Contents),
                QStringLiteral("Cairnmeter Help File Contents"), owner);
}

bool mdlHelp::HelpIndex(int number, QWidget *owner) {
    return show(number, static_cast<int>(HelpWindow::Page::Index),
                QStringLiteral("Cairnmeter Help File Index"), owner);
}

bool mdlHelp::HelpSearch(int number, QWidget *owner) {
    return show(number, static_cast<int>(HelpWindow::Page::Search),
                QStringLiteral("Cairnmeter Help File Search"), owner);
}

bool mdlHelp::show(int number, int page, const QString &title, QWidget *owner) {
    const QString path = HelpFilePath(number, owner);
    // The window is reused while the help file stays the same, so it keeps its place.
    if (!m_window || m_window->collectionFile() != path) {
        m_window.reset();
        auto window = std::make_unique<HelpWindow>(m_openAddress);
        if (window->open(path))
            m_window = std::move(window);
    }
    if (!m_window) {
        m_prompts.message(owner,
                          QStringLiteral("Error in opening Help file.\nHelp File #") +
                              QString::number(number),
                          title, Prompts::Icon::Critical);
        return false;
    }
    m_window->showPage(static_cast<HelpWindow::Page>(page));
    return true;
}
