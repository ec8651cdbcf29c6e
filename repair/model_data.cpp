// The language model tables (repair/model/model.bin) embedded in the binary, so
// nothing is looked up at run time. MOK_REPAIR_MODEL_PATH is set by CMake.

#ifndef MOK_REPAIR_MODEL_PATH
#error "MOK_REPAIR_MODEL_PATH must name repair/model/model.bin"
#endif

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl mok_repair_model\n"
    "mok_repair_model:\n"
    ".incbin \"" MOK_REPAIR_MODEL_PATH "\"\n"
    ".globl mok_repair_model_end\n"
    "mok_repair_model_end:\n"
    ".byte 0\n"
    ".previous\n");
