#include "main/errorreport.h"

#include "main/exception.h"

std::string composeErrorReport(const Exception& error) {
    // Plain decimal, no grouping and no locale: std::to_string formats like "%d".
    return "Caught exception from " + error.getFile() + ":" + std::to_string(error.getLine()) + "\n\n" +
           error.getMessage() + "\n";
}
