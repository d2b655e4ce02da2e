#pragma once
// Application-wide shared state: the SQL buffer, the business date, the
// logged-in user, the shop settings copied at start, and the open flags of
// the list windows.

#include <QString>

inline QString mySql;
inline QString myLoginDate;  // "yyyy-mm-dd"
inline QString myNLDate;     // lunar "MM-DD"
inline QString myUser;
inline QString myPass;
inline QString myVersion;
inline QString myEdition;

inline QString myDeptName;
inline QString myDeptPhone;
inline QString myDeptAdd;
inline QString myDeptGG;
inline QString myDeptPDJ;  // "True"/"False"
inline QString myDeptPXP;
inline QString myDeptJFQL;
inline QString myDeptSex;
inline QString myDeptMType;
inline QString myDeptKC;
inline QString myDeptFKC;
inline QString myDeptWY;
inline QString myDeptPJH;
inline QString myDeptPTH;
inline QString myDeptSType;
inline QString myDeptSWorker;
inline QString myDeptSMType;
inline QString myDeptSKR;

// Open flags, in the order the main window closes them.
inline bool myOpenShop_M = false;
inline bool myOpenMember_M = false;
inline bool myOpenXF_M = false;
inline bool myOpenCZ_M = false;
inline bool myOpenDH_M = false;
inline bool myOpenXF_MX = false;
inline bool myOpenSRTX = false;
inline bool myOpenM_Q = false;
inline bool myOpenBB_D = false;
inline bool myOpenBB_M = false;
inline bool myOpenBB_Y = false;
inline bool myOpenXF_TJ = false;
inline bool myOpenJNRTX = false;
inline bool myOpenGYS_M = false;
inline bool myOpenKC = false;
inline bool myOpenJH_M = false;
inline bool myOpenJH_MX = false;
inline bool myOpenTH_M = false;
inline bool myOpenTH_MX = false;
inline bool myOpenXF_SKQ = false;

namespace velmora {

inline const QString kAppTitle = QStringLiteral("Velmora会员管理软件");
inline const QString kDefaultPassword = QStringLiteral("270946");

// The program's folder with a trailing separator.
QString programFolder();
// Where the database lives: programFolder() + "Data/db.edb", unless the
// VELMORA_DATA_DIR environment variable names another folder for "Data".
QString databasePath();
// The key the database file is encrypted with.
QByteArray databaseKey();

// A "True"/"False" setting; anything but "True" is off.
inline bool isOn(const QString &setting)
{
    return setting == QLatin1String("True");
}

// The longest card number the till and the member windows take; a card
// stored longer could not be typed or scanned back.
inline constexpr int kCardLength = 12;

// Date texts of the system.
inline const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// TfrmMain.FormCreate's part that needs no window: formats, edition, version.
void initSharedState();
// Loads the eighteen shop settings from SDept into the globals above.
void FindDept();

}  // namespace velmora
