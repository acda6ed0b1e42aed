// Start-up and shutdown of the main window.
#include "frmMain.h"

#include "AppError.h"
#include "CommandLine.h"
#include "FormPosition.h"
#include "HandlerTrap.h"
#include "HelpFiles.h"
#include "ScanTree.h"
#include "SettingsFile.h"
#include "SystemInfo.h"
#include "basInitEntry.h"
#include "mdlAppMutex.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>

#include <unistd.h>

void frmMain::LocateSettingsFile(bool create) {
    m_iniPath = SettingsFile::locate(create);
}

QRect frmMain::placementNow() const {
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    // The state counts too: a window maximized by the user was moved.
    return isMaximized() ? QRect(normal.topLeft(), QSize(-1, -1)) : normal;
}

void frmMain::Form_Load(const QString &commandLine) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Form_Load"));
    QString path;
    m_inFormLoad = true;
    const bool started = trap.run([&] {
        trap.line = 1;
        m_lockFd = mdlAppMutex::CreateAppMutex();
        trap.line = 2;
        LocateSettingsFile();
        trap.line = 4;
        setWindowTitle(QStringLiteral("Cairnmeter"));
        trap.line = 5;
        m_osVersionNumber = SystemInfo::GetOSVersion().number;
        mnuSetOpacityMain->menuAction()->setVisible(m_osVersionNumber >= 500);
        trap.line = 6;
        m_helpFile = HelpFiles::DefaultHelpFile(QCoreApplication::applicationDirPath());
        trap.line = 8;
        m_systemDriveRoot = SystemInfo::SystemDriveRoot();
        trap.line = 10;
        // Every setting, the path list and the placement come from one reading of the file.
        basInitEntry::Snapshot settingsText;
        // The unit and the size format come first, so that they hold even when reading the
        // other settings fails.
        ReadSizeSettings();
        trap.line = 12;
        m_search->AbortRequested = false;
        m_loaded = true; // from here on, closing writes the settings back
        trap.line = 13;
        LoadINI();
        m_tree->SetSizeFactor();
        m_tree->SetSizeFormat();
        m_tree->UpdateRoots();
        trap.line = 14;
        cboStartPath->setEditText(m_systemDriveRoot);
        trap.line = 15;
        path = CommandLine::GetCmdLine(commandLine);
        if (!path.isEmpty())
            cboStartPath->setEditText(path);
        trap.line = 16;
        FormPosition::LoadFormPosition(this, m_iniPath);
        keepOnScreen();
        m_placementRead = true;
    });
    show();
    repaint();
    yieldOnce();
    keepOnScreen(); // now with the frame the window manager gave it
    m_placementAtStart = placementNow();
    rememberSettingsAtStart();
    m_inFormLoad = false;
    if (m_closeAfterLoad) {
        // Asked to close while starting (a signal handled at a yield): close now, the normal
        // way, from the event loop.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    // An error ended start-up where it arose: the window opens with what was done, and a path
    // from the command line is not scanned.
    if (started && !path.isEmpty())
        cmdBeginScan_Click();
    // A saved scan named with "/i" opens beside it.
    const QString scanFile = CommandLine::CommandLineGetValue(commandLine, QStringLiteral("/i"));
    if (started && !scanFile.isEmpty() && !m_closeAfterScan)
        OpenScanFile(scanFile);
}

void frmMain::Form_Unload() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Unload"));
    trap.linePrefix = QStringLiteral("Line:");
    trap.run([&] {
        {
            // Every setting and the placement reach the file in one replacement under its
            // lock: a kill during the save leaves the old file, and another copy closing now
            // waits instead of losing keys. What was written before an error is kept.
            basInitEntry::Batch batch;
            trap.line = 1;
            SaveINI();
            trap.line = 2;
            // A stored placement that start-up never got to read is kept, unless the user
            // has moved or sized the window since.
            if (m_placementRead || placementNow() != m_placementAtStart)
                FormPosition::SaveFormPosition(this, m_iniPath);
            batch.commit();
        }
        trap.line = 3;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != this && w->isVisible())
                w->close();
    });
}

void frmMain::closeEvent(QCloseEvent *event) {
    if (m_inFormLoad) {
        // Start-up yields while it loads; closing then would save half-read settings and the
        // rest of start-up would show the window again.
        m_closeAfterLoad = true;
        event->ignore();
        return;
    }
    if (m_scanning) {
        // Never tear the window down under a running walk: stop it, close once it unwound.
        m_closeAfterScan = true;
        cmdAbort_Click();
        event->ignore();
        return;
    }
    if (m_loaded) {
        m_loaded = false; // once, even if close is asked again
        Form_Unload();
    }
    QMainWindow::closeEvent(event);
}
