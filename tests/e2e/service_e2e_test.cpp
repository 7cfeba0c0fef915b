// ZentrikWin.exe with the real online plug-in against the real web service,
// which tests/e2e/service_e2e.sh starts on loopback with the user "marie"
// and her catalogue, and whose database it checks afterwards: logon, a task
// chosen from the service's list, a start, an autosave, a stop, and at the
// next start the service's list restored.
//
// Usage: service_e2e_tests <ZentrikWin.exe> <vorn_KovReport.dll> <port>
#include <windows.h>

#include <filesystem>

#include "plugins/online/online_resource.h"
#include "shell/resource.h"
#include "tests/e2e/fixture.h"

namespace fs = std::filesystem;

static const char LOGON_CAPTION[] = "Talvenu Connexion ...";
static const char CHOOSER_CAPTION[] = "[KOVReport] Ajouter une tâche ...";
static const char PLUGIN_CAPTION[] = "[Talvenu plug-in v1.02]";
static const char RESTORE_QUESTION[] =
    "Désirez-vous restaurez la liste des tâches obtenue\nà partir des informations de la base de données ?";
static const char QUIT_QUESTION[] = "Êtes-vous sûr de vouloir quitter ?";

class ServiceE2e : public E2e {
protected:
    void SetUp() override
    {
        E2e::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_FALSE(e2e_argument(2).empty()) << "usage: service_e2e_tests <ZentrikWin.exe> <vorn_KovReport.dll> <port>";
        fs::copy_file(e2e_windows_path(e2e_argument(1)), dir.path / "vorn_KovReport.dll",
                      fs::copy_options::overwrite_existing);
        write_bytes(dir.file("vorn_KovReport.ini"),
                    "[GENERAL_CONFIGURATION]\r\nDEBUG_dispWelcome=0\r\nDEBUG_dispAddSuccess=0\r\n"
                    "DEBUG_dispStartSuccess=0\r\nDEBUG_dispStopSuccess=0\r\n"
                    "[WEBSERVICE]\r\nHTTPHost=127.0.0.1\r\nHTTPPort=" + e2e_argument(2) + "\r\n");
    }

    // Starts the program with the plug-in and logs on as marie; answers the
    // restore question with restore when the service has a list.
    void logon(int restore)
    {
        ASSERT_TRUE(e2e_start(app, folder(), "--plugin vorn_KovReport.dll"));
        HWND dialog = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, LOGON_CAPTION);
        ASSERT_TRUE(dialog);
        e2e_set_control_text(dialog, IDC_LOGON_USER, "marie");
        e2e_set_control_text(dialog, IDC_LOGON_PASSWORD, "mot de passe é");
        e2e_click(dialog, IDOK);
        if (restore) {
            HWND box = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, PLUGIN_CAPTION);
            ASSERT_TRUE(box);
            EXPECT_EQ(e2e_box_text(box), RESTORE_QUESTION);
            e2e_click(box, restore);
        }
        ASSERT_TRUE(e2e_wait_closed(dialog)) << "the logon failed";
    }

    void quit()
    {
        ASSERT_TRUE(e2e_post_command(app, IDC_QUIT));
        ASSERT_EQ(e2e_answer_box(app.pid, QUIT_QUESTION, app.window, IDYES), "");
        int code = 1;
        ASSERT_TRUE(e2e_wait_exit(app, &code));
        EXPECT_EQ(code, 0);
    }
};

TEST_F(ServiceE2e, AWorkingDayMirroredOnTheService)
{
    logon(0);  // the service holds no task yet: no question

    // The chooser offers the service's catalogue; the task chosen is added.
    ASSERT_TRUE(e2e_post_command(app, IDC_ADD_TASK));
    HWND chooser = e2e_wait_window(app.pid, E2E_DIALOG_CLASS, CHOOSER_CAPTION);
    ASSERT_TRUE(chooser);
    ASSERT_NE(SendDlgItemMessageA(chooser, IDC_CHOOSER_LIST, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>("Réunion")),
              CB_ERR);
    e2e_click(chooser, IDOK);
    ASSERT_TRUE(e2e_wait_closed(chooser));

    // A start the service accepts, an autosave while it runs, a stop.
    ASSERT_TRUE(e2e_command(app, IDC_TASK_FIRST));
    Sleep(2000);
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_tick(app));
    ASSERT_TRUE(e2e_command(app, IDC_STOP));
    quit();

    // A fresh start restores the service's list into an empty ledger.
    fs::remove(profile_path());
    logon(IDYES);
    quit();
    EXPECT_NE(profile().find("\tRéunion_équipe\t"), std::string::npos) << profile();
}
