#include "provider/VorndalApp.h"

CvorndalApp theApp;

CvorndalApp::~CvorndalApp() = default;
