#pragma once
// Genuine processor faults for the guard to catch, each raised the way faulty code raises it.

namespace faults {

void writeToProtectedPage();
void readPastEndOfMappedFile();
void divideByZeroWithTrapUnmasked();
void integerDivideByZero();
void illegalInstruction();
void overflowStack();
void throwCppException();

}  // namespace faults
