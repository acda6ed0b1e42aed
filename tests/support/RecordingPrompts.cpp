#include "RecordingPrompts.h"

Prompts::Answer RecordingPrompts::message(QWidget *, const QString &text, const QString &title,
                                          Icon icon, Buttons buttons, Answer defaultAnswer) {
    shown.push_back({QStringLiteral("message"), text, title, icon, buttons, defaultAnswer});
    if (answers.empty())
        return defaultAnswer;
    const Answer a = answers.front();
    answers.erase(answers.begin());
    return a;
}

QString RecordingPrompts::chooseFolder(QWidget *, const QString &title,
                                       const QString &startFolder) {
    shown.push_back({QStringLiteral("folder"), startFolder, title});
    return folders.isEmpty() ? QString() : folders.takeFirst();
}

QString RecordingPrompts::saveFile(QWidget *, const QString &title, const QString &folder,
                                   const QString &fileName, const QString &filter) {
    const QString offered = folder + u'/' + fileName;
    shown.push_back({QStringLiteral("save"), offered, title});
    saveFilters << filter;
    const QString name = saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    return name == AcceptOffered ? offered : name;
}

QString RecordingPrompts::openFile(QWidget *, const QString &title, const QString &folder,
                                   const QString &) {
    shown.push_back({QStringLiteral("open"), folder, title});
    return openNames.isEmpty() ? QString() : openNames.takeFirst();
}

QColor RecordingPrompts::chooseColor(QWidget *, const QColor &initial) {
    shown.push_back({QStringLiteral("color"), initial.name(), QString()});
    if (colors.empty())
        return QColor();
    const QColor c = colors.front();
    colors.erase(colors.begin());
    return c;
}
