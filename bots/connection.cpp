#include "bots/connection.h"
#include "app/frmmain.h"
void ConnectAll(frmMain&) {}
void LoginOne(frmMain&, int) {}
void LoginAll(frmMain&) {}
void DisconnectOne(frmMain&, int) {}
void DisconnectAll(frmMain&) {}
void WaitFor(double) {}
void Yield() {}
