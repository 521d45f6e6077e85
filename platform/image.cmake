# A program image with two faces: one ELF file that runs as a program (its
# main) and that the file manager loads as an add-on (its process_refs).
#
# It is a shared object that also carries what a program has: the C
# library's position-independent start file (Scrt1.o) with its entry point
# _start, and an interpreter section that names the system's dynamic loader.
# Started, the loader maps it as the program and _start calls main with
# argc and argv; loaded with dlopen, the start file is dead code. The C
# library marks position-independent executables so that dlopen refuses
# them, which is why the image is linked as a shared object and not as one.
#
# Only process_refs is exported (a version script); every other symbol stays
# inside the image, so that nothing in it interposes on the host's symbols.

# The start file and the loader of this compiler, found once.
if(NOT TEXTWEND_START_FILE)
	execute_process(
		COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=Scrt1.o
		OUTPUT_VARIABLE start_file
		OUTPUT_STRIP_TRAILING_WHITESPACE
		RESULT_VARIABLE start_result)
	if(NOT start_result EQUAL 0 OR NOT IS_ABSOLUTE "${start_file}"
			OR NOT EXISTS "${start_file}")
		message(FATAL_ERROR "The compiler names no Scrt1.o (got "
			"'${start_file}'); the program image cannot be linked.")
	endif()
	set(TEXTWEND_START_FILE "${start_file}" CACHE FILEPATH
		"The C library's position-independent start file")
endif()

# The loader is the one that this compiler's programs name: link a small
# program and read its interpreter section.
if(NOT TEXTWEND_INTERPRETER)
	set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/interpreter-probe)
	file(WRITE ${probe_dir}/probe.c "int main(void) { return 0; }\n")
	try_compile(probe_built ${probe_dir}/build ${probe_dir}/probe.c
		COPY_FILE ${probe_dir}/probe
		OUTPUT_VARIABLE probe_output)
	if(NOT probe_built)
		message(FATAL_ERROR "Cannot link a program to find the dynamic "
			"loader:\n${probe_output}")
	endif()
	if(NOT CMAKE_OBJCOPY)
		find_program(CMAKE_OBJCOPY objcopy REQUIRED)
	endif()
	execute_process(
		COMMAND ${CMAKE_OBJCOPY} -O binary --only-section=.interp
			${probe_dir}/probe ${probe_dir}/interp
		RESULT_VARIABLE interp_result)
	set(interpreter "")
	if(interp_result EQUAL 0 AND EXISTS ${probe_dir}/interp)
		file(STRINGS ${probe_dir}/interp interpreter LIMIT_COUNT 1)
	endif()
	if(NOT IS_ABSOLUTE "${interpreter}" OR NOT EXISTS "${interpreter}")
		message(FATAL_ERROR "Cannot read the dynamic loader from a program "
			"of this compiler (got '${interpreter}').")
	endif()
	set(TEXTWEND_INTERPRETER "${interpreter}" CACHE FILEPATH
		"The dynamic loader that runs the program image")
endif()

# The interpreter section, compiled into every image.
# Images are declared in other folders: the names of the generated files
# are kept where every folder sees them.
set(TEXTWEND_INTERPRETER_SOURCE ${CMAKE_BINARY_DIR}/be_image_interpreter.c
	CACHE INTERNAL "")
file(CONFIGURE OUTPUT ${TEXTWEND_INTERPRETER_SOURCE} CONTENT
"/* The dynamic loader that runs this image as a program. */
__attribute__((section(\".interp\"), used, visibility(\"hidden\")))
const char be_image_interpreter[] = \"@TEXTWEND_INTERPRETER@\";
")

set(TEXTWEND_IMAGE_EXPORTS ${CMAKE_BINARY_DIR}/be_image.map CACHE INTERNAL "")
# Written only when it changes: every image relinks when it does.
file(CONFIGURE OUTPUT ${TEXTWEND_IMAGE_EXPORTS} CONTENT
"{
	global:
		process_refs;
	local:
		*;
};
")


# add_be_image(<name> [OUTPUT_DIRECTORY <dir>] [SOURCES <file>...]
#              [LIBRARIES <library>...])
#
# Declares the image <name>, written as <dir>/<name> (by default the folder
# of the programs). It is linked from SOURCES and LIBRARIES (static
# libraries are fine: main and process_refs are pulled from them) and with
# the kits' library. The link fails when main or process_refs is missing.
function(add_be_image name)
	cmake_parse_arguments(IMAGE "" "OUTPUT_DIRECTORY" "SOURCES;LIBRARIES"
		${ARGN})
	if(NOT IMAGE_OUTPUT_DIRECTORY)
		set(IMAGE_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
	endif()

	add_library(${name} SHARED ${IMAGE_SOURCES}
		${TEXTWEND_INTERPRETER_SOURCE})
	target_link_libraries(${name} PRIVATE ${IMAGE_LIBRARIES} be)
	# Left uninstrumented: the loader reads the section as plain bytes.
	set_source_files_properties(${TEXTWEND_INTERPRETER_SOURCE}
		TARGET_DIRECTORY ${name}
		PROPERTIES COMPILE_OPTIONS "-fno-sanitize=all")
	set_target_properties(${name} PROPERTIES
		PREFIX ""
		SUFFIX ""
		NO_SONAME ON
		LIBRARY_OUTPUT_DIRECTORY ${IMAGE_OUTPUT_DIRECTORY}
		C_VISIBILITY_PRESET hidden
		CXX_VISIBILITY_PRESET hidden
		VISIBILITY_INLINES_HIDDEN ON
		LINK_DEPENDS ${TEXTWEND_IMAGE_EXPORTS})
	target_link_options(${name} PRIVATE
		${TEXTWEND_START_FILE}
		LINKER:-e,_start
		LINKER:--version-script=${TEXTWEND_IMAGE_EXPORTS}
		LINKER:--require-defined=process_refs
		LINKER:--no-undefined)
endfunction()
