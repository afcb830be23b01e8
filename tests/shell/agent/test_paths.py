"""The agent finds its own Params.ini and its own registry key wherever it is
installed: in a folder named in scripts outside both Windows-1251 and
Windows-1252, and at the end of a path longer than 259 characters, even when
the current directory holds another Params.ini."""
import os
import subprocess
import unittest

from harness import Agent, Journey, status_path

LOGIN = "consultant"
TOKEN = "t0ken"
# The longest path the "A" functions and a MAX_PATH buffer hold.
WINDOWS_PATH_LIMIT = 259


class ElsewhereAgent(Agent):
    """An agent started from another current directory."""

    def __init__(self, environment, name, params, current_directory):
        super().__init__(environment, name, params)
        self.current_directory = current_directory

    def start(self, wait=True):
        self.process = subprocess.Popen(
            ["timeout", "--kill-after=5", "300", self.environment.wine,
             os.path.join(self.folder, "Kovarentis.exe")],
            cwd=self.current_directory, env=self.environment.wine_env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait:
            self.wait_for_main_window()
        return self


class PathTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)
        # A Params.ini in the current directory that names a server nobody
        # answers at: an agent that read it would never poll the stand-in.
        self.decoy = os.path.join(self.env.work, "decoy-current-directory")
        os.makedirs(self.decoy, exist_ok=True)
        with open(os.path.join(self.decoy, "Params.ini"), "wb") as params:
            params.write(b"Server=http://127.0.0.9\r\nRequestTimeout=1\r\n")

    def agent_in(self, folder):
        agent = ElsewhereAgent(self.env, folder, {"Server": self.server, "RequestTimeout": 1}, self.decoy)
        self.agents.append(agent)
        return agent

    def assert_polls_with_the_stored_token(self, agent):
        """The poll reaching the stand-in shows the Params.ini beside the
        agent was read; the token in it, that the agent's registry key was."""
        agent.start()
        polls = [status_path(status, LOGIN, TOKEN) for status in (0, 1, 2)]
        self.wait_for_request(lambda path: path in polls, timeout=20)

    def test_a_folder_named_in_greek_and_cjk_letters(self):
        self.assert_polls_with_the_stored_token(self.agent_in("Πράκτορας-代理人"))

    def test_a_path_longer_than_259_characters(self):
        folder = os.path.join("long-path", "a" * 120, "b" * 120)
        agent = self.agent_in(folder)
        windows_length = len("Z:" + os.path.join(agent.folder, "Kovarentis.exe"))  # Z: is the Unix root
        self.assertGreater(windows_length, WINDOWS_PATH_LIMIT)
        self.assert_polls_with_the_stored_token(agent)


if __name__ == "__main__":
    unittest.main()
