#include "link/Forms.h"

TPidConf* PidConf = nullptr;
TPassword* Password = nullptr;
TModPars* ModPars = nullptr;
TPidParam* PidParam = nullptr;
TCalibr1* Calibr1 = nullptr;
TInParam* InParam = nullptr;
TPidVal* PidVal = nullptr;
TParCOM* ParCOM = nullptr;
TAboutBox* AboutBox = nullptr;
TfOutParam* fOutParam = nullptr;
TfMess* fMess = nullptr;
