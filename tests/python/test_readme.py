"""The README's examples of the Python module, run as written."""
import doctest

START = "## The Python module mokrin"


def test_the_readme_examples_give_what_they_show(root):
    readme = (root / "README.md").read_text(encoding="utf-8")
    section = readme[readme.index(START):]
    section = section[: section.index("\n## ", len(START))]
    test = doctest.DocTestParser().get_doctest(section, {}, "README", "README.md", 0)
    assert len(test.examples) >= 15
    assert any("[mokrin.repair(s) for s in column]" in example.source for example in test.examples)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    assert runner.summarize(verbose=False).failed == 0
