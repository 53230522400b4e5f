// The install engine's tests run without the wizard's user interface: the
// message window is replaced by a recorder (defined in ActionsTest.cpp),
// whose record shows which texts the steps announced and in what order.
#ifndef TARV_TESTS_INSTALL_INSTALLTESTDOUBLES_H
#define TARV_TESTS_INSTALL_INSTALLTESTDOUBLES_H

#include <string>
#include <vector>

// "show <text>" and "hide" in call order.
extern std::vector<std::string> messageWindowRecord;

#endif
