#pragma once
// The program-wide window objects, created once at start in a fixed order
// (see main.cpp). Dialogs that a command creates anew each time it runs are
// stored here while they exist.

class TPidConf;
class TPassword;
class TModPars;
class TPidParam;
class TCalibr1;
class TInParam;
class TPidVal;
class TParCOM;
class TAboutBox;
class TfOutParam;
class TfMess;

extern TPidConf* PidConf;
extern TPassword* Password;
extern TModPars* ModPars;
extern TPidParam* PidParam;
extern TCalibr1* Calibr1;
extern TInParam* InParam;
extern TPidVal* PidVal;
extern TParCOM* ParCOM;
extern TAboutBox* AboutBox;
extern TfOutParam* fOutParam;
extern TfMess* fMess;
